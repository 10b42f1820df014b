#pragma once
// Qt's own texts (the save dialog, the buttons of message boxes) in the
// user's language, from the translations installed with Qt. The program's
// own texts are Chinese whatever the locale.
#include <QCoreApplication>

namespace kwp::qt {

// Installs Qt's catalogue for the user's locale into `app`, which keeps it.
// False when there is none for that locale (Qt's English texts stay).
bool LoadQtTranslations(QCoreApplication& app);

}  // namespace kwp::qt
