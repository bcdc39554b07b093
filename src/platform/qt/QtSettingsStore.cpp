#include "platform/qt/QtSettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include "platform/PlatformError.h"

namespace ostrell::platform {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

// The value as text. A value the host wrote unquoted with commas reads as a list: put it back together.
std::string textOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(u',').toStdString();
    return value.toString().toStdString();
}

const char* statusText(QSettings::Status status) {
    // QSettings still writes after a format error: what it could not parse is gone, and that is reported.
    return status == QSettings::FormatError ? "held lines that are not INI; they were dropped on writing"
                                            : "cannot be read or written";
}

}  // namespace

QString QtSettingsStore::filePath(const std::string& app) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + q(app) +
           QStringLiteral(".ini");
}

std::string QtSettingsStore::GetSetting(const std::string& app, const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    // A file that is missing or unreadable holds no keys, and lines that are not INI hold none either:
    // the default applies. A read never fails.
    QSettings settings(filePath(app), QSettings::IniFormat);
    settings.beginGroup(q(section));
    const QVariant value = settings.value(q(key));
    return value.isValid() ? textOf(value) : defaultValue;
}

void QtSettingsStore::SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& value) {
    const QString path = filePath(app);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // QSettings writes nothing when it cannot read the file first, so the host's keys are never lost.
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(q(section));
    settings.setValue(q(key), q(value));
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw PlatformError(err::PathFileAccessError,
                            "Settings file " + path.toStdString() + " " + statusText(settings.status()));
}

}  // namespace ostrell::platform
