#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>
#include <ctime>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AdapterTestSupport.h"
#include "platform/IniDocument.h"
#include "platform/PlatformError.h"
#include "platform/posix/PosixSettingsStore.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::adaptertest::UnprivilegedFiles;
using ostrell::platform::IniDocument;
using ostrell::platform::PlatformError;
using ostrell::platform::PosixSettingsStore;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    std::string iniPath() const { return home_.file("BKX.ini"); }
    void writeRaw(const std::string& text) { std::ofstream(iniPath(), std::ios::binary | std::ios::trunc) << text; }
    std::string readRaw() const {
        std::ifstream in(iniPath(), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    void ageBy(time_t seconds) {
        utimbuf times{std::time(nullptr) - seconds, std::time(nullptr) - seconds};
        ASSERT_EQ(::utime(iniPath().c_str(), &times), 0);
    }

    OpenTempDir home_;
    PosixSettingsStore store_{home_.path()};
};

}  // namespace

TEST_F(SettingsStoreTest, ValuesRoundTripExactly) {
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "15") << "no file yet: the default";
    EXPECT_NE(::access(iniPath().c_str(), F_OK), 0) << "a read must not create the file";

    const std::vector<std::string> values = {
        "a,b,c",
        "  padded  ",
        "say \"hi\"",
        "C:\\Data\\Brannick\\",
        "Zoë Ærø ñ €",
        "",
        "@odd start",
        "key=value; # not a comment",
        "[looks, like a section]",
        "tab\there",
        "0",
        std::string("nul\0byte", 8),
    };
    for (size_t i = 0; i < values.size(); ++i)
        store_.writeValue("BKX", "Ostrell", "Value" + std::to_string(i), values[i]);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(store_.readValue("BKX", "Ostrell", "Value" + std::to_string(i), "default"), values[i])
            << "value " << i;
    EXPECT_THROW(store_.writeValue("BKX", "Ostrell", "Broken", "line\nbreak"), PlatformError);
}

// The host's file is a contract: a write changes the one value and nothing else, keeps the file's mode,
// leaves no temporary file and takes the lock file the README names.
TEST_F(SettingsStoreTest, AWriteChangesOneValueAndKeepsEveryOtherByteAndTheMode) {
    const std::string host =
        "; Brannick settings\r\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\n"
        "EndFlag=N\r\n\r\n[Ostrell]\r\nDataDir=/srv/brannick/d;x/\r\nLastTry=old\r\n"
        "no equals sign here\r\n# comment\r\n[Unknown]\r\nx = y\r\n";
    writeRaw(host);
    ASSERT_EQ(::chmod(iniPath().c_str(), 0640), 0);
    store_.writeValue("BKX", "Ostrell", "LastTry", "06.12.2026 10:00:00");
    std::string expected = host;
    expected.replace(expected.find("old"), 3, "06.12.2026 10:00:00");
    EXPECT_EQ(readRaw(), expected);
    store_.writeValue("BKX", "Ostrell", "Last", "now");
    expected.insert(expected.find("# comment\r\n") + 11, "Last=now\r\n");
    EXPECT_EQ(readRaw(), expected);
    EXPECT_EQ(store_.readValue("BKX", "Application", "DirName", ""), "C:\\Brannick\\App\\");
    EXPECT_EQ(store_.readValue("BKX", "Unknown", "x", ""), " y");

    struct stat info {};
    ASSERT_EQ(::stat(iniPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    ASSERT_EQ(::stat((iniPath() + ".lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0007, 0u) << "the lock file is not for others";
    EXPECT_NE(::access((iniPath() + ".tmp").c_str(), F_OK), 0);

    // A settings file that is a link is written through: the link stays.
    ASSERT_EQ(::rename(iniPath().c_str(), home_.file("real.ini").c_str()), 0);
    ASSERT_EQ(::symlink("real.ini", iniPath().c_str()), 0);
    store_.writeValue("BKX", "Ostrell", "Last", "later");
    ASSERT_EQ(::lstat(iniPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "Last", ""), "later");
}

TEST_F(SettingsStoreTest, UnreadableFileGivesDefaultsAndRefusesWrites) {
    // The settings path is a directory: nothing can be read or written there.
    ASSERT_EQ(::mkdir(iniPath().c_str(), 0755), 0);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"), PlatformError);
    ASSERT_EQ(::rmdir(iniPath().c_str()), 0);

    // A file we may not read: the same, and the file stays as it was.
    writeRaw("[Ostrell]\nTimeOut=30\n");
    ASSERT_EQ(::chmod(iniPath().c_str(), 0), 0);
    UnprivilegedFiles unprivileged;
    if (!unprivileged.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"), PlatformError);
}

TEST_F(SettingsStoreTest, FirstWriteCreatesAMissingSettingsDirectoryFromTheEnvironment) {
    const std::string nested = home_.path() + "/not/yet";
    ::setenv("XDG_CONFIG_HOME", nested.c_str(), 1);
    PosixSettingsStore fromEnvironment;
    fromEnvironment.writeValue("BKX", "Version", "adapter_tests", "2.4.11");
    ::unsetenv("XDG_CONFIG_HOME");
    std::ifstream in(nested + "/BKX.ini");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "[Version]");
    std::getline(in, line);
    EXPECT_EQ(line, "adapter_tests=2.4.11");
}

// A host that writes 200 times a second, in place and by rename, under the lock the README names, while
// the agent writes too: neither loses a write. The host keeps counting up its own keys; at the end
// every key holds its last value.
TEST_F(SettingsStoreTest, AHostWritingTwoHundredTimesASecondAndTheAgentLoseNoWrite) {
    writeRaw("; host\n[Application]\nEndFlag=\n[Ostrell]\nHostInPlace=0\nHostRenamed=0\n");
    const std::string path = iniPath();
    constexpr int HostWrites = 600;  // 3 s at 200 a second
    const pid_t host = ::fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        const int lock = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT, 0660);
        for (int i = 1; i <= HostWrites; ++i) {
            const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
            if (lock < 0 || ::flock(lock, LOCK_EX) != 0) ::_exit(2);
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            IniDocument document(text.str());
            const bool inPlace = i % 2 == 0;
            document.set("Ostrell", inPlace ? "HostInPlace" : "HostRenamed", std::to_string(i));
            if (inPlace) {
                std::ofstream(path, std::ios::binary | std::ios::trunc) << document.text();
            } else {
                std::ofstream(path + ".host", std::ios::binary | std::ios::trunc) << document.text();
                if (::rename((path + ".host").c_str(), path.c_str()) != 0) ::_exit(3);
            }
            ::flock(lock, LOCK_UN);
            std::this_thread::sleep_until(due);
        }
        ::_exit(0);
    }
    int agentWrites = 0;
    for (int status = 0; ::waitpid(host, &status, WNOHANG) == 0 && agentWrites < 10000; ++agentWrites) {
        store_.writeValue("BKX", "Ostrell", "Agent" + std::to_string(agentWrites % 10), std::to_string(agentWrites));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int status = 0;
    ::waitpid(host, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the host writer failed";
    ASSERT_GT(agentWrites, 20) << "the agent wrote while the host did";

    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "HostInPlace", ""), std::to_string(HostWrites));
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "HostRenamed", ""), std::to_string(HostWrites - 1));
    for (int k = 0; k < 10 && k < agentWrites; ++k) {
        const int last = (agentWrites - 1) - ((agentWrites - 1 - k) % 10);
        EXPECT_EQ(store_.readValue("BKX", "Ostrell", "Agent" + std::to_string(k), "LOST"), std::to_string(last)) << k;
    }
    EXPECT_EQ(readRaw().rfind("; host\n[Application]\nEndFlag=\n[Ostrell]\n", 0), 0u);
}

namespace {

const std::string Whole = "[Ostrell]\nDataDir=/srv/brannick/data/\nTimeOut=30\n\n[Version]\nBrannhall=2.3.119\n";

}  // namespace

// The host rewrites the file in place: emptied, then written. A read in between must not hand out its
// defaults for the host's values (an empty data directory is the working directory), and a write in
// between must not put back the little the file holds then, which would lose the host's keys for good.
TEST_F(SettingsStoreTest, AFileCaughtHalfWrittenIsNeitherTakenNorWrittenBack) {
    writeRaw(Whole);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "DataDir", ""), "/srv/brannick/data/");

    for (const std::string& caught : {Whole.substr(0, 25), std::string()}) {
        writeRaw(caught);
        EXPECT_THROW(store_.readValue("BKX", "Ostrell", "DataDir", ""), PlatformError) << caught;
        EXPECT_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"), PlatformError) << caught;
        EXPECT_EQ(readRaw(), caught) << "left for the host to finish";
    }

    writeRaw(Whole);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "30");
    EXPECT_NO_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"));
    EXPECT_EQ(store_.readValue("BKX", "Version", "Brannhall", ""), "2.3.119");

    // A file left without its last line end, or empty, long enough is what the host meant.
    writeRaw("[Ostrell]\nTimeOut=45");
    ageBy(60);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "45");
    writeRaw("");
    ageBy(60);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_NO_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"));
}
