#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <utime.h>

#include <ctime>

#include "AdapterTestSupport.h"
#include "platform/IniDocument.h"
#include "platform/posix/PosixSettingsStore.h"

using namespace ostrell::adaptertest;
using namespace std::string_literals;
using ostrell::platform::IniDocument;
using ostrell::platform::PosixSettingsStore;

// The host's file is a contract: a write changes one value and nothing else, keeps the mode and a link,
// leaves no temporary file, and values come back exactly as written.
TEST(PosixSettingsStore, AWriteChangesOneValueAndKeepsEveryOtherByteAndTheMode) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    const std::string ini = home.file("BKX.ini"), real = home.file("real.ini");
    const std::string host =
        "; Brannick\r\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\n\r\n[Ostrell]\r\n"
        "DataDir=/srv/d;x/\r\nLastTry=old\r\nno equals\r\nUpLoad= a,\"b\" \r\nNul=a\0b\xe9\r\n"
        "# c\r\n[Unknown]\r\nx = y\r\n"s;
    writeFile(real, host);
    ASSERT_EQ(::chmod(real.c_str(), 0640) | ::symlink("real.ini", ini.c_str()), 0);
    store.writeValue("BKX", "Ostrell", "LastTry", "06.12.2026 10:00:00");
    store.writeValue("BKX", "ostrell", "Last", "now");
    std::string expected = host;
    expected.replace(expected.find("old"), 3, "06.12.2026 10:00:00").insert(expected.find("[Unknown]"), "Last=now\r\n");
    EXPECT_EQ(contentOf(ini), expected);
    EXPECT_EQ(std::tuple(modeOf(real), modeOf(ini), modeOf(ini + ".lock") & 07, ::access((ini + ".tmp").c_str(), 0)),
              std::tuple(0640u, 0777u, 0u, -1))
        << "mode and link kept, lock file not for others, no temporary file left";
    for (const auto& [key, value] : {std::pair{"DirName"s, "C:\\Brannick\\App\\"s},
                                     {"DataDir", "/srv/d;x/"},
                                     {"UpLoad", " a,\"b\" "},
                                     {"Nul", "a\0b\xe9"s},
                                     {"Absent", "15"}})
        EXPECT_EQ(store.readValue("BKX", key == "DirName" ? "Application" : "OSTRELL", key, "15"), value) << key;
    EXPECT_NE(failureNumber([&] { store.writeValue("BKX", "Ostrell", "Broken", "Y\nEndFlag=Y"); }), 0);
}

// A host rewriting the file in place can be caught half-way. Such a file is neither taken (its defaults
// would stand for the host's values) nor written back (the host's keys would be lost for good), unless
// it has stayed so long enough to be what the host meant.
TEST(PosixSettingsStore, AFileCaughtHalfWrittenIsNeitherTakenNorWrittenBack) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    const std::string ini = home.file("BKX.ini"), whole = "[Ostrell]\nTimeOut=30\n\n[Version]\nBrannhall=2.3.119\n";
    for (const auto& [content, age, read] : {std::tuple{whole, 0, "30"},
                                             {whole.substr(0, 15), 0, "torn"},
                                             {"", 0, "torn"},
                                             {"[Ostrell]\nTimeOut=45", 60, "45"},
                                             {"", 60, "15"}}) {
        writeFile(ini, content);
        const utimbuf times{std::time(nullptr) - age, std::time(nullptr) - age};
        ASSERT_EQ(::utime(ini.c_str(), &times), 0);
        std::string value = "torn";
        const int readFailure = failureNumber([&] { value = store.readValue("BKX", "Ostrell", "TimeOut", "15"); });
        const int writeFailure = failureNumber([&] { store.writeValue("BKX", "Ostrell", "LastTry", "now"); });
        EXPECT_EQ(std::tuple(value, readFailure != 0, writeFailure != 0, contentOf(ini) == content),
                  std::tuple(std::string(read), read == "torn"s, read == "torn"s, read == "torn"s))
            << content;
    }
}

// A host writing 200 times a second, in place and by rename, under the lock the README names, while the
// agent writes too: neither loses a write.
TEST(PosixSettingsStore, AHostWritingTwoHundredTimesASecondAndTheAgentLoseNoWrite) {
    OpenTempDir home;
    PosixSettingsStore store(home.path());
    const std::string ini = home.file("BKX.ini"), hostFirst = "; host\n[Application]\nEndFlag=\n[Ostrell]\n";
    writeFile(ini, hostFirst + "HostInPlace=0\nHostRenamed=0\n");
    constexpr int HostWrites = 600;
    const pid_t host = ::fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        const int lock = ::open((ini + ".lock").c_str(), O_RDWR | O_CREAT, 0660);
        for (int i = 1; i <= HostWrites; ++i, ::usleep(5000)) {
            if (lock < 0 || ::flock(lock, LOCK_EX) != 0) ::_exit(2);
            IniDocument document(contentOf(ini));
            document.set("Ostrell", i % 2 ? "HostRenamed" : "HostInPlace", std::to_string(i));
            writeFile(i % 2 ? ini + ".host" : ini, document.text());
            if (i % 2 && ::rename((ini + ".host").c_str(), ini.c_str()) != 0) ::_exit(3);
            ::flock(lock, LOCK_UN);
        }
        ::_exit(0);
    }
    int writes = 0, status = 0;
    for (; ::waitpid(host, &status, WNOHANG) == 0 && writes < 10000; ++writes)
        store.writeValue("BKX", "Ostrell", "Agent" + std::to_string(writes % 10), std::to_string(writes));
    ::waitpid(host, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && writes > 20) << "both wrote: " << writes;
    EXPECT_EQ(
        store.readValue("BKX", "Ostrell", "HostInPlace", "") + store.readValue("BKX", "Ostrell", "HostRenamed", ""),
        std::to_string(HostWrites) + std::to_string(HostWrites - 1));
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(store.readValue("BKX", "Ostrell", "Agent" + std::to_string(k), "LOST"),
                  std::to_string(writes - 1 - (writes - 1 - k) % 10));
    EXPECT_EQ(contentOf(ini).rfind(hostFirst, 0), 0u);
}
