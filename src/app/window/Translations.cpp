#include "app/window/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringDecoder>
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

QString alreadyRunningMessage(long pid, const std::string& dataDirectory) {
    if (dataDirectory.empty())
        return QCoreApplication::translate("ostrell", "Ostrell is already running (pid %1).").arg(pid);
    return QCoreApplication::translate("ostrell", "Ostrell is already running (pid %1) on the data directory %2.")
        .arg(pid)
        .arg(QString::fromStdString(dataDirectory));
}

QString displayText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

}  // namespace ostrell::app
