#include "platform/qt/QtSettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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

// The host rewrites the file in place: it empties it, then writes it. Caught in between, the file is
// empty or ends without its line end; its keys are not the host's (an empty "DataDir" would send records
// to the working directory), and writing it back would keep only those for good. Left that way for a
// while, the file is what the host meant.
constexpr qint64 HostRewriteMs = 2000;

bool caughtMidRewrite(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (QFileInfo(file).lastModified().msecsTo(QDateTime::currentDateTime()) > HostRewriteMs) return false;
    const qint64 size = file.size();
    if (size == 0) return true;
    char last = '\n';
    return file.seek(size - 1) && file.getChar(&last) && last != '\n';
}

void refuseMidRewrite(const QString& path) {
    if (caughtMidRewrite(path))
        throw PlatformError(err::PathFileAccessError,
                            "Settings file " + path.toStdString() + " is being rewritten by the host; try again");
}

}  // namespace

QString QtSettingsStore::filePath(const std::string& app) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + q(app) +
           QStringLiteral(".ini");
}

std::string QtSettingsStore::GetSetting(const std::string& app, const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    // A file that is missing or unreadable holds no keys, and lines that are not INI hold none either:
    // the default applies. A read fails only on a file the host is half-way through writing (also when
    // it began while we read), so the caller keeps what it had.
    const QString path = filePath(app);
    refuseMidRewrite(path);
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(q(section));
    const QVariant value = settings.value(q(key));
    refuseMidRewrite(path);
    return value.isValid() ? textOf(value) : defaultValue;
}

void QtSettingsStore::SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& value) {
    const QString path = filePath(app);
    QDir().mkpath(QFileInfo(path).absolutePath());
    refuseMidRewrite(path);
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
