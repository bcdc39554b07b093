#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <string>
#include <vector>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtSettingsStore.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::adaptertest::testApp;
using ostrell::adaptertest::UnprivilegedFiles;
using ostrell::platform::PlatformError;
using ostrell::platform::QtSettingsStore;

namespace {

// Each test gets its own settings home.
class SettingsStoreTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = testApp();  // first: Qt objects below need it
    void SetUp() override {
        testApp();
        ASSERT_TRUE(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.qpath()));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    std::string iniPath() const { return home_.file("BKX.ini"); }
    void writeRaw(const std::string& text) {
        QFile file(QString::fromStdString(iniPath()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }
    std::string readRaw() {
        QFile file(QString::fromStdString(iniPath()));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll().toStdString();
    }

    OpenTempDir home_;
    QtSettingsStore store_;
};

}  // namespace

TEST_F(SettingsStoreTest, ValuesAndKeyNamesRoundTripExactlyThroughTheIniFile) {
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "TimeOut", "15"), "15") << "no file yet: the default";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(iniPath()))) << "a read must not create the file";

    const std::vector<std::string> values = {
        "a,b,c",          "  padded  ",       "say \"hi\"",          "C:\\Data\\Brannick\\",
        "Zoë Ærø ñ €",    "",                 "@odd start",          "key=value; # not a comment",
        "[looks, like a section]", "tab\there", "line\nbreak",       "0",
        "'single' and \"double\", and \\ too",
    };
    for (size_t i = 0; i < values.size(); ++i) store_.SaveSetting("BKX", "Ostrell", "Value" + std::to_string(i), values[i]);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "Value" + std::to_string(i), "default"), values[i]) << "value " << i;

    // Key names keep their case; sections are separate groups.
    store_.SaveSetting("BKX", "Ostrell", "IPLocalport", "5001");
    store_.SaveSetting("BKX", "Ostrell", "iplocalport", "other");
    store_.SaveSetting("BKX", "Version", "IPLocalport", "in another section");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "IPLocalport", ""), "5001");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "iplocalport", ""), "other");
    EXPECT_EQ(store_.GetSetting("BKX", "Version", "IPLocalport", ""), "in another section");
    EXPECT_EQ(store_.GetSetting("BKX", "VRX1", "DBase", "none"), "none") << "absent section: the default";

    // A later write replaces the value; the file is the host's BKX.ini with one group per section.
    store_.SaveSetting("BKX", "Ostrell", "IPLocalport", "5002");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "IPLocalport", ""), "5002");
    const std::string raw = readRaw();
    EXPECT_NE(raw.find("[Ostrell]"), std::string::npos) << raw;
    EXPECT_NE(raw.find("[Version]"), std::string::npos) << raw;
    EXPECT_NE(raw.find("IPLocalport=5002"), std::string::npos) << raw;
}

TEST_F(SettingsStoreTest, HostWrittenValuesAreReadAsTheirText) {
    writeRaw("[Ostrell]\nUpLoad=/opt/brannick/import,--quiet,--all\nLoNumber1=BK-1042\n"
             "[Application]\nEndFlag=Y\nDirName=\"/srv/brannick, main\"\n");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "UpLoad", ""), "/opt/brannick/import,--quiet,--all");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "LoNumber1", ""), "BK-1042");
    EXPECT_EQ(store_.GetSetting("BKX", "Application", "EndFlag", ""), "Y");
    EXPECT_EQ(store_.GetSetting("BKX", "Application", "DirName", ""), "/srv/brannick, main");
}

TEST_F(SettingsStoreTest, ConcurrentWritersInAnotherProcessLoseNoKeyAndChangesShowAtTheNextRead) {
    store_.SaveSetting("BKX", "Application", "EndFlag", "");
    ASSERT_EQ(store_.GetSetting("BKX", "Application", "EndFlag", "?"), "");

    constexpr int kWrites = 40;
    const QString path = QtSettingsStore::filePath("BKX");
    const pid_t host = ::fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        // The host product: its own process, its own QSettings, writing different keys meanwhile.
        bool ok = true;
        for (int i = 0; i < kWrites; ++i) {
            QSettings settings(path, QSettings::IniFormat);
            settings.setValue(QStringLiteral("Ostrell/Host%1").arg(i), QStringLiteral("host value %1").arg(i));
            settings.sync();
            ok = ok && settings.status() == QSettings::NoError;
        }
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Application/EndFlag"), QStringLiteral("Y"));
        settings.sync();
        ::_exit(ok && settings.status() == QSettings::NoError ? 0 : 1);
    }
    for (int i = 0; i < kWrites; ++i)
        store_.SaveSetting("BKX", "Ostrell", "Agent" + std::to_string(i), "agent value " + std::to_string(i));
    int status = 0;
    ASSERT_EQ(::waitpid(host, &status, 0), host);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the host writer failed";

    int lost = 0;
    for (int i = 0; i < kWrites; ++i) {
        lost += store_.GetSetting("BKX", "Ostrell", "Agent" + std::to_string(i), "LOST") != "agent value " + std::to_string(i);
        lost += store_.GetSetting("BKX", "Ostrell", "Host" + std::to_string(i), "LOST") != "host value " + std::to_string(i);
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(store_.GetSetting("BKX", "Application", "EndFlag", ""), "Y") << "the host's change must be seen";
}

TEST_F(SettingsStoreTest, UnreadableFileGivesDefaultsAndRefusesWritesAndGarbageReadsAsNoKeys) {
    // Not INI at all: reads give defaults and never fail. The write that drops the garbage says so; the
    // value is written all the same and later writes go through.
    writeRaw("\x01\x02 not an ini file \xff\n");
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_THROW(store_.SaveSetting("BKX", "Ostrell", "LastTry", "now"), PlatformError);
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "LastTry", ""), "now");
    EXPECT_NO_THROW(store_.SaveSetting("BKX", "Ostrell", "Last", "later"));
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "Last", ""), "later");
    ASSERT_TRUE(QFile::remove(QString::fromStdString(iniPath())));

    // The settings path is a directory: nothing can be read or written there.
    ASSERT_EQ(::mkdir(iniPath().c_str(), 0755), 0);
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_THROW(store_.SaveSetting("BKX", "Ostrell", "LastTry", "now"), PlatformError);
    ASSERT_EQ(::rmdir(iniPath().c_str()), 0);

    // A file we may not read: the same.
    writeRaw("[Ostrell]\nTimeOut=30\n");
    ASSERT_EQ(::chmod(iniPath().c_str(), 0), 0);
    UnprivilegedFiles unprivileged;
    if (!unprivileged.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    EXPECT_EQ(store_.GetSetting("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_THROW(store_.SaveSetting("BKX", "Ostrell", "LastTry", "now"), PlatformError);
}

TEST_F(SettingsStoreTest, FirstWriteCreatesAMissingSettingsDirectory) {
    const QString nested = home_.qpath() + QStringLiteral("/not/yet");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(nested));
    store_.SaveSetting("BKX", "Version", "adapter_tests", "2.4.11");
    EXPECT_TRUE(QFile::exists(nested + QStringLiteral("/BKX.ini")));
    EXPECT_EQ(store_.GetSetting("BKX", "Version", "adapter_tests", ""), "2.4.11");
}
