#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/posix/PosixSettingsStore.h"
#include "unit/Fixture.h"

using namespace ostrell;
using unittest::AgentFixture;

// The host rewrites the settings file in place; started at the same moment, the agent can find it empty
// or half written. A missing or cut-off host version then is no reason to refuse to run for good.
TEST(StartUp, AHostVersionMissingWhileTheHostRewritesTheFileIsLookedForAgain) {
    for (const char* seen : {"<absent>", "2.3.1"}) {  // emptied, or cut off after "2.3.1" of "2.3.119"
        AgentFixture f;
        if (std::string(seen) == "<absent>") f.store.values.erase({"BKX", "Version", "Brannhall"});
        else f.store.set("Version", "Brannhall", seen);
        f.loop.post(150, [&] { f.store.set("Version", "Brannhall", "2.3.119"); });  // the host is done
        EXPECT_NO_THROW(f.agent->start()) << seen;
        EXPECT_EQ(f.agent->scheduler().tickTimer().interval(), 1000) << seen;
        for (const auto& entry : f.shell.journal) EXPECT_EQ(entry.rfind("message", 0), std::string::npos) << entry;
    }

    // A version that stays too old is refused, with one message, after looking for longer than the
    // settings store waits for a half-written file.
    AgentFixture old;
    old.store.set("Version", "Brannhall", "2.3.118");
    const int64_t start = old.loop.nowMs();
    EXPECT_THROW(old.agent->start(), fake::ProgramEnded);
    EXPECT_GT(old.loop.nowMs() - start, platform::HostRewriteWindowMs);
    EXPECT_LT(old.loop.nowMs() - start, 3000);
    EXPECT_EQ(old.shell.journal.size(), 1u);
}

// The host's own file, with comments, raw values and a section we do not know, through a day of cycles
// on the real settings store: every byte but the agent's own keys stays, and each value reaches the
// agent exactly as written.
TEST(HostSettingsFile, SurvivesADayOfCyclesByteForByteAndItsValuesArriveAsWritten) {
    char dirTemplate[] = "/tmp/ostrell-day-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string host =
        "; Brannick writes this file\r\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\nEndFlag=N\r\n\r\n"
        "[Ostrell]\r\n# the agent's\r\nIPadd=127.0.0.1\r\nIPport=6000\r\nDataDir=/srv/brannick/d;x/\r\n"
        "UpLoad= /opt/brannick/import,--quiet, \"--all\" ; not a comment \r\nTimeOut=  300  \r\n"
        "LoNumber1=  \r\nExit=yes\r\n\r\n[Version]\r\nBrannhall=2.3.119\r\n\r\n[Brannick.Private]\r\nkey with no "
        "equals\r\n";
    std::ofstream(dir + "/BKX.ini", std::ios::binary) << host;

    fake::FakeEventLoop loop;
    fake::FakeTcpSocket socket{loop};
    socket.onLine = [&](const std::string& line) {
        if (line == "tolvane|QHT514") socket.peerSend("Logon success\r\n", 10);
    };
    platform::PosixSettingsStore store(dir);
    fake::FakeFileSystem files;
    fake::FakeProcessLauncher launcher;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    unittest::RecordingShell shell;
    app::Agent agent({loop, socket, store, files, launcher, sinks, terminator}, shell, {}, {});
    agent.start();
    loop.runFor(24LL * 3600 * 1000);

    const settings::Parameters& p = agent.parameters();
    EXPECT_EQ(p.appDirPath, "C:\\Brannick\\App\\");
    EXPECT_EQ(p.dataDirPath, "/srv/brannick/d;x/");
    EXPECT_EQ(p.uploadCommand, " /opt/brannick/import,--quiet, \"--all\" ; not a comment ");
    EXPECT_EQ(p.timeoutSecs, 300);
    EXPECT_EQ(p.loNumbers[1], "  ");
    EXPECT_EQ(p.exitMode, "yes");
    EXPECT_TRUE(sinks.reports.empty());

    std::ifstream in(dir + "/BKX.ini", std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string ownKeys;
    for (const std::string& key : {std::string("LastTry="), std::string("Last="), launcher.programName() + "="}) {
        const size_t at = after.find("\r\n" + key);
        ASSERT_NE(at, std::string::npos) << key << " in\n" << after;
        const size_t end = after.find("\r\n", at + 2);
        ownKeys += after.substr(at + 2, end - at - 2) + "\n";
        after.erase(at, end - at);
    }
    EXPECT_EQ(after, host) << "the agent's own keys were:\n" << ownKeys;
    std::filesystem::remove_all(dir);
}
