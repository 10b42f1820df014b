#pragma once
// The screen copy on Wayland: the desktop portal's Screenshot method, not
// interactive. The portal writes a picture of the whole desktop to a file and
// answers with its address; the primary display's part of it becomes the
// snapshot, 1:1 in device pixels. A file the portal wrote into a temporary or
// cache folder is removed once read; a file in the user's own folders stays.
// A refusal, a portal error or no answer in time is an error with a clear
// text; nothing waits longer than kPortalScreenWait.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <chrono>

#include "core/bitmap.h"

namespace kwp::qt {

// Long enough for a desktop that asks the user once for permission.
inline constexpr std::chrono::milliseconds kPortalScreenWait{10000};

class PortalScreen {
public:
    // The primary display's `device` pixels (its size in device pixels).
    core::Bitmap CopyScreen(const QSize& device);

private:
    bool waiting_ = false;
};

// Where the primary display lies in a picture of the whole desktop:
// `desktop` and `primary` are logical geometries (Qt's screen geometry), the
// picture covers `desktop` at its own scale. The result is clipped to the
// picture.
QRect PrimaryInPicture(const QSize& picture, const QRect& desktop, const QRect& primary);

// The primary display's pixels out of the portal's picture as a bitmap of
// exactly `device` size (scaled only when the picture's scale differs from
// the display's; black where the picture has nothing).
core::Bitmap PrimaryBitmap(QImage picture, const QRect& desktop, const QRect& primary, const QSize& device);

// Folders whose files are scratch: the temporary folders and the user's
// cache.
QStringList ScratchFolders();
// True when `path` lies inside one of `folders` (whole path components).
bool IsScratchFile(const QString& path, const QStringList& folders);

}  // namespace kwp::qt
