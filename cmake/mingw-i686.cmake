# Cross-building the 32-bit Windows program with mingw-w64 (posix thread
# model: its libwinpthread links statically, so the exe imports system DLLs
# only).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KWPSHOT_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KWPSHOT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KWPSHOT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KWPSHOT_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Libraries built for Windows (libjpeg-turbo, by scripts/build-libjpeg-win32.sh)
# live under KWPSHOT_DEPS, /opt/kwpshot-deps unless the environment says else.
if(DEFINED ENV{KWPSHOT_DEPS})
  set(KWPSHOT_DEPS $ENV{KWPSHOT_DEPS})
else()
  set(KWPSHOT_DEPS /opt/kwpshot-deps)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KWPSHOT_MINGW_TRIPLET} ${KWPSHOT_DEPS}/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
