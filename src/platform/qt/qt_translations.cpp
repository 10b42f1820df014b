#include "qt_translations.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kwp::qt {

bool LoadQtTranslations(QCoreApplication& app) {
    // Owned by the application object, so it lives as long as the texts do.
    auto* translator = new QTranslator(&app);
    // "qtbase_zh_CN.qm" and the like, tried for each of the user's languages.
    if (!translator->load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace kwp::qt
