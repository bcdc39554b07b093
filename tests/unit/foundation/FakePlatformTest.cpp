#include <gtest/gtest.h>

#include <cerrno>

#include "platform/PlatformError.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeTcpSocket.h"

using namespace ostrell;

TEST(VirtualClock, WaitsJumpToTheNextEventAndHonourTheirDeadlineExactly) {
    fake::FakeEventLoop loop;
    bool replied = false;
    loop.post(7790, [&] { replied = true; });
    EXPECT_TRUE(loop.waitUntil([&] { return replied; }, 7800));
    EXPECT_EQ(loop.nowMs(), 7790);

    replied = false;
    loop.post(7810, [&] { replied = true; });
    const int64_t start = loop.nowMs();
    EXPECT_FALSE(loop.waitUntil([&] { return replied; }, 7800));
    EXPECT_EQ(loop.nowMs() - start, 7800);
    loop.runFor(100);
    EXPECT_TRUE(replied) << "the late event still runs afterwards";
}

TEST(VirtualClock, TimersTickOnTheirPeriodStopAtZeroAndDieWithTheirOwner) {
    fake::FakeEventLoop loop;
    int ticks = 0;
    auto timer = loop.createTimer([&] { ++ticks; });
    timer->setInterval(1000);
    loop.runFor(3500);
    EXPECT_EQ(ticks, 3);
    timer->setInterval(0);
    loop.runFor(5000);
    EXPECT_EQ(ticks, 3);
    timer->setInterval(1000);
    loop.runFor(1000);
    EXPECT_EQ(ticks, 4);
    timer.reset();
    loop.runFor(5000);
    EXPECT_EQ(ticks, 4);
}

TEST(VirtualClock, AnEndRequestStopsARunningWait) {
    fake::FakeEventLoop loop;
    loop.post(500, [&] { loop.requestEnd(); });
    EXPECT_THROW(loop.waitUntil([] { return false; }, 10000), platform::ProgramEnding);
    EXPECT_EQ(loop.nowMs(), 500);
}

TEST(FakeFiles, PowerLossKeepsOnlyWhatWasMadeDurable) {
    fake::FakeFileSystem fs;
    fs.addDirectory("/d");
    fs.append("/d/in.csv", "a\r\n", true);
    fs.append("/d/in.csv", "b\r\n", false);
    fs.writeDurable("/d/new.tmp", "x");  // data synced, entry not
    fs.putFile("/d/out.csv", "1\r\n2\r\n");
    fs.rename("/d/new.tmp", "/d/out.csv");
    fs.powerLoss();
    EXPECT_EQ(fs.content("/d/in.csv"), "a\r\n");
    EXPECT_EQ(fs.content("/d/out.csv"), "1\r\n2\r\n") << "a rename is lost until the directory is synced";
    EXPECT_FALSE(fs.has("/d/new.tmp"));

    fs.writeDurable("/d/new.tmp", "x");
    fs.rename("/d/new.tmp", "/d/out.csv");
    fs.syncDirectory("/d");
    fs.powerLoss();
    EXPECT_EQ(fs.content("/d/out.csv"), "x");
}

TEST(FakeFiles, InjectedFailuresAndFullDisksThrowWithTheRightNumbers) {
    fake::FakeFileSystem fs;
    fs.addDirectory("/d");
    fs.failOn(fake::FakeFileSystem::Op::Append, ENOSPC, 2);
    fs.append("/d/f", "1", true);
    try {
        fs.append("/d/f", "2", true);
        FAIL() << "second append should fail";
    } catch (const platform::PlatformError& e) {
        EXPECT_EQ(e.number(), platform::err::DiskFull);
    }
    fs.append("/d/f", "3", true);
    EXPECT_EQ(fs.content("/d/f"), "13");

    fs.setCapacity(4);
    EXPECT_THROW(fs.append("/d/f", "456", true), platform::PlatformError);
    EXPECT_THROW(fs.append("/missing/f", "x", true), platform::PlatformError);
    fs.setReadOnly("/d");
    EXPECT_THROW(fs.writeDurable("/d/g", "x"), platform::PlatformError);
    EXPECT_THROW(fs.readAll("/d"), platform::PlatformError);
}

namespace {
struct Events : platform::TcpSocketEvents {
    std::vector<std::string> seen;
    void onConnect() override { seen.push_back("connect"); }
    void onDataArrival(int64_t) override { seen.push_back("data"); }
    void onClose() override { seen.push_back("close"); }
    void onError(int32_t, const std::string& d) override { seen.push_back("error " + d); }
};
}  // namespace

TEST(FakeSocket, ScriptedPeerAnswersLinesAndLateEventsOfAClosedLinkVanish) {
    fake::FakeEventLoop loop;
    fake::FakeTcpSocket sock(loop);
    Events ev;
    sock.setEvents(&ev);
    sock.onLine = [&](const std::string& line) { sock.peerSend("echo " + line + "\r\n", 100); };
    sock.connect("127.0.0.1", 6667);
    EXPECT_EQ(sock.state(), platform::TcpSocket::StateConnecting);
    loop.runFor(50);
    EXPECT_EQ(sock.state(), platform::TcpSocket::StateConnected);
    sock.send("hel");
    sock.send("lo\nx");
    loop.runFor(200);
    EXPECT_EQ(sock.takeAll(), "echo hello\r\n");
    EXPECT_EQ(sock.sentLines, std::vector<std::string>{"hello"});
    sock.send("\n");  // completes "x"
    sock.close();
    loop.runFor(500);
    EXPECT_EQ(ev.seen, (std::vector<std::string>{"connect", "data"})) << "no close event for our own close";
    EXPECT_EQ(sock.takeAll(), "");
}
