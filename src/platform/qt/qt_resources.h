#pragma once
// The pictures and the skin held with the windows (compiled in with rcc).
#include <QIcon>
#include <QPixmap>
#include <QString>

#include "platform/platform.h"

namespace kwp::qt {

// Makes the compiled-in resources reachable; call once before the first use.
void InitResources();

QPixmap ResourcePixmap(platform::Resource resource);
// The tray and window icon, in all its sizes.
QIcon ApplicationIcon();
// The skin style sheet.
QString SkinStyleSheet();

}  // namespace kwp::qt
