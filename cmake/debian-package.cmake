# The Debian package of the Linux program: `cpack -G DEB` in a Release build
# makes kwpshot_<version>_<arch>.deb with what `cmake --install` installs
# under /usr: the program, its desktop entry and its icons.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kwpshot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kwpshot developers <kwpshot@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "capture a rectangle of the screen as a JPEG")
set(CPACK_PACKAGE_DESCRIPTION "A tray tool with a system-wide hotkey that freezes the screen, lets a \
rectangle be chosen with two clicks, puts it on the clipboard and saves it as a JPEG at a chosen \
quality. Its interface is in Simplified Chinese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries the program links come from dpkg-shlibdeps (package dpkg-dev);
# these are loaded by name at run time, so no link tells of them: the Chinese
# font the interface falls back to, and Qt's Wayland platform.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei, qt6-wayland")
# Qt's own texts (save dialog, message-box buttons) in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
