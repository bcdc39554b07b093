#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <utime.h>

#include <ctime>
#include <map>

#include "AdapterTestSupport.h"
#include "platform/IniDocument.h"
#include "platform/posix/PosixSettingsStore.h"
#include "settings/Settings.h"

using namespace ostrell::adaptertest;
using namespace std::string_literals;
using ostrell::platform::PosixSettingsStore;

namespace {
// The host wrote the file `seconds` ago.
void writtenAgo(const std::string& path, time_t seconds) {
    const utimbuf times{std::time(nullptr) - seconds, std::time(nullptr) - seconds};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

// What an operation failed with, or "taken".
std::string refusal(const std::function<void()>& operation) try {
    operation();
    return "taken";
} catch (const ostrell::platform::PlatformError& e) {
    return e.what();
}
}  // namespace

// The host's file is a contract (a day of cycles keeps it byte for byte: the agent's test). A write also
// keeps the file's mode, bytes no text editor would keep, and a link, and leaves no temporary file.
TEST(PosixSettingsStore, AWriteKeepsTheModeOddBytesAndALink) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    const std::string ini = home.file("BKX.ini"), real = home.file("real.ini"), host = "[Ostrell]\r\nNul=a\0b\xe9\r\n"s;
    writeFile(real, host);
    ASSERT_EQ(::chmod(real.c_str(), 0640) | ::symlink("real.ini", ini.c_str()), 0);
    writtenAgo(real, 60);
    store.writeValue("BKX", "ostrell", "Last", "now");
    EXPECT_EQ(contentOf(ini) + store.readValue("BKX", "OSTRELL", "Nul", ""), host + "Last=now\r\na\0b\xe9"s);
    EXPECT_EQ(std::tuple(modeOf(real), modeOf(ini), modeOf(ini + ".lock") & 07, ::access((ini + ".tmp").c_str(), 0)),
              std::tuple(0640u, 0777u, 0u, -1))
        << "mode and link kept, lock file not for others, no temporary file left";
    // A missing config directory is made; a value that would add a line, or a directory nobody may write
    // into, is refused with the file left as it was.
    PosixSettingsStore fresh(home.file("a/b"));
    fresh.writeValue("BKX", "Ostrell", "Last", "now");
    EXPECT_EQ(contentOf(home.file("a/b/BKX.ini")), "[Ostrell]\nLast=now\n");
    EXPECT_NE(failureNumber([&] { store.writeValue("BKX", "Ostrell", "Last", "x\nEndFlag=Y"); }), 0);
    ASSERT_EQ(::chmod(home.file("a/b").c_str(), 0555), 0);
    if (const UnprivilegedFiles nobody(true); nobody.active()) {
        EXPECT_NE(failureNumber([&] { fresh.writeValue("BKX", "Ostrell", "Last", "later"); }), 0);
    }
    EXPECT_EQ(contentOf(ini) + contentOf(home.file("a/b/BKX.ini")), host + "Last=now\r\n[Ostrell]\nLast=now\n");
}

// A host rewriting the file in place (maybe in pieces, pausing at a line end) can be caught half-way. A
// torn file is not taken (its defaults would stand for the host's values), and a file the host changed
// just now is not written back (the host's keys would be lost for good), unless it has stayed so long
// enough to be what the host meant.
TEST(PosixSettingsStore, AFileTheHostChangedJustNowIsNotWrittenBack) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    const std::string ini = home.file("BKX.ini"), whole = "[Ostrell]\nTimeOut=30\n\n[Version]\nBrannhall=2.3.119\n";
    for (const auto& [content, age, read] : {std::tuple{whole, 0, "30"},
                                             {whole.substr(0, 21), 0, "30"},  // the first piece, to a line end
                                             {whole.substr(0, 15), 0, "torn"},
                                             {"", 0, "torn"},
                                             {"[Ostrell]\nTimeOut=45", 60, "45"},
                                             {"", 60, "15"}}) {
        writeFile(ini, content);
        writtenAgo(ini, age);
        std::string value = "torn";
        const bool readFailed = failureNumber([&] { value = store.readValue("BKX", "Ostrell", "TimeOut", "15"); });
        bool refused = false;
        try {
            store.writeValue("BKX", "Ostrell", "LastTry", "now");
        } catch (const ostrell::platform::HostRewriting&) {
            refused = true;
        }
        EXPECT_EQ(std::tuple(value, readFailed, refused, contentOf(ini) == content),
                  std::tuple(std::string(read), read == "torn"s, age == 0, age == 0))
            << content;
    }
}

// A FIFO or a directory in the file's place is refused at once (a FIFO would block a read for ever), by
// reads and writes alike, naming the file and what it is.
TEST(PosixSettingsStore, ANonRegularFileIsRefusedAtOnce) {
    for (const std::string what : {"a FIFO", "a directory"}) {
        OpenTempDir home;
        PosixSettingsStore store(home.path());
        const std::string ini = home.file("BKX.ini");
        ASSERT_EQ(what == "a FIFO" ? ::mkfifo(ini.c_str(), 0600) : ::mkdir(ini.c_str(), 0700), 0);
        const std::string expected = std::string("Settings file ")
                                         .append(ini)
                                         .append(" is ")
                                         .append(what)
                                         .append(", not a regular file: neither read nor written");
        EXPECT_EQ(refusal([&] { store.readValue("BKX", "Ostrell", "TimeOut", "15"); }), expected);
        EXPECT_EQ(refusal([&] { store.writeValue("BKX", "Ostrell", "LastTry", "now"); }), expected);
    }
}

// A host writing 200 times a second, in place and by rename, under the lock the README names, while the
// agent saves too: neither loses a write. The agent's saves wait while the host writes, and land once
// the file has been quiet for a while.
TEST(PosixSettingsStore, AHostWritingTwoHundredTimesASecondAndTheAgentLoseNoWrite) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    ostrell::settings::Settings settings(store);
    const std::string ini = home.file("BKX.ini"), hostFirst = "; host\n[Application]\nEndFlag=\n[Ostrell]\n";
    writeFile(ini, hostFirst);
    writtenAgo(ini, 60);
    const pid_t host = ::fork();
    ASSERT_GE(host, 0);
    if (host == 0) {  // the host
        const int lock = ::open((ini + ".lock").c_str(), O_RDWR | O_CREAT, 0660);
        for (int i = 1; i <= 600; ++i, ::usleep(5000)) {
            if (lock < 0 || ::flock(lock, LOCK_EX) != 0) ::_exit(2);
            ostrell::platform::IniDocument document(contentOf(ini));
            document.set("Ostrell", i % 2 ? "HostRenamed" : "HostInPlace", std::to_string(i));
            writeFile(i % 2 ? ini + ".host" : ini, document.text());
            if (i % 2 && ::rename((ini + ".host").c_str(), ini.c_str()) != 0) ::_exit(3);
            ::flock(lock, LOCK_UN);
        }
        ::_exit(0);
    }
    std::map<std::string, std::string> last{{"HostInPlace", "600"}, {"HostRenamed", "599"}};
    int writes = 0, status = 0;
    const auto save = [&] {
        const std::string key = "Agent" + std::to_string(writes % 10);
        settings.save({"Ostrell", key, ""}, last[key] = std::to_string(writes));
    };
    for (; ::waitpid(host, &status, WNOHANG) == 0 && writes < 10000; ++writes) save();
    ::waitpid(host, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && writes > 20) << "both wrote: " << writes;
    writtenAgo(ini, 60);
    save();
    for (const auto& [key, value] : last) EXPECT_EQ(store.readValue("BKX", "Ostrell", key, "LOST"), value) << key;
    EXPECT_EQ(contentOf(ini).rfind(hostFirst, 0), 0u);
}
