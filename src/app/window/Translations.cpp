#include "app/window/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ostrell::app {

namespace {
// <prefix>/bin/ostrell finds <prefix>/share/ostrell/translations; the build tree puts them the same way.
QString installedDirectory() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/ostrell/translations");
}
}  // namespace

void installTranslations(const QString& dir) {
    const QLocale locale;
    // Owned by the application, which keeps them for its life.
    auto* own = new QTranslator(QCoreApplication::instance());
    if (own->load(locale, QStringLiteral("ostrell"), QStringLiteral("_"), dir.isEmpty() ? installedDirectory() : dir))
        QCoreApplication::installTranslator(own);
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

QString notSetUpMessage(const std::string& settingsFile) {
    return QCoreApplication::translate("ostrell",
                                       "Brannick is not set up for this account (there is no %1), so Ostrell does not "
                                       "run.")
        .arg(QString::fromStdString(settingsFile));
}

}  // namespace ostrell::app
