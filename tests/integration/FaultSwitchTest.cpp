#include <fstream>
#include <gtest/gtest.h>

#include "integration/LiveConnection.h"
#include "integration/SimServer.h"

using namespace ostrell;
using integration::LiveConnection;
using integration::SimServer;
using platform::TcpSocket;

namespace {
// Resident memory of this process in KiB.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmRSS:" && status >> value) return value;
        status.ignore(4096, '\n');
    }
    return -1;
}
}  // namespace

TEST(ServerFaults, AGreetingBannerIsNotTakenForTheLogonReplyNorAltersRecords) {
    SimServer sim({"--banner", "Welcome to Veltrana", "--bookings", "4711:1"});
    LiveConnection live(sim.port());
    live.connection.connectToServer();
    ASSERT_TRUE(live.connection.connected);
    EXPECT_EQ(live.view.lines, (std::vector<std::string>{"R [ to veltrana ]", "S {logon}", "R [ Logon success ]"}));
    EXPECT_EQ(live.connection.replyPos, 7);
    const std::string record = live.request("10|4711");
    EXPECT_NE(record.find("Welcome"), std::string::npos) << record;
}

TEST(ServerFaults, SlowRepliesAreTakenAsTheyComeAndOneTooLateDropsTheLink) {
    SimServer sim({"--delay-ms", "9000", "--delay-line", "3"});
    LiveConnection live(sim.port());
    int64_t took = 0;
    EXPECT_EQ(live.request("10|4711", &took), "10|NONE");  // line 2: not delayed
    EXPECT_LT(took, 7800);
    EXPECT_EQ(live.request("11|4711", &took), "BAD - timed out");  // line 3: 9 s late
    EXPECT_GE(took, 7800);
    EXPECT_FALSE(live.connection.connected);
    EXPECT_EQ(live.socket.state(), TcpSocket::StateClosed);
    // The late reply can never be taken for this request: it goes over a new connection.
    EXPECT_EQ(live.request("12|5"), "12|OK");
    EXPECT_EQ(sim.count("OPEN"), 2);
}

TEST(ServerFaults, AServerThatStopsAnsweringGivesTimedOut) {
    SimServer sim({"--no-reply-after", "1"});
    LiveConnection live(sim.port());
    int64_t took = 0;
    EXPECT_EQ(live.request("10|4711", &took), "BAD - timed out");
    EXPECT_GE(took, 7800);
    EXPECT_TRUE(live.sawLine("R [ Logon success ]"));
    EXPECT_TRUE(live.sinks.reports.empty());
}

TEST(ServerFaults, AConnectionDroppedAtALineIsNoticedAndTheNextRequestConnectsAgain) {
    SimServer sim({"--drop-at-run", "2"});
    LiveConnection live(sim.port());
    int64_t took = 0;
    EXPECT_EQ(live.request("10|4711", &took), "BAD - lost connection");
    EXPECT_LT(took, 7800) << "a closed link is noticed, not waited out";
    EXPECT_FALSE(live.connection.connected);
    EXPECT_EQ(live.request("10|4711"), "10|NONE");
    EXPECT_EQ(sim.count("OPEN"), 2);
}

TEST(ServerFaults, RepliesSplitIntoPiecesComeOutWhole) {
    SimServer sim({"--split", "3", "--split-pause-ms", "40", "--bookings", "4711:1"});
    LiveConnection live(sim.port());
    const std::string record = live.request("10|4711");
    EXPECT_EQ(record.rfind("10|\"", 0), 0u);
    EXPECT_GT(record.size(), 100u);
    EXPECT_EQ(live.request("12|1"), "12|OK");
    int replies = 0;
    for (const auto& l : live.view.lines) replies += l.rfind("R [ ", 0) == 0;
    EXPECT_EQ(replies, 3) << "one monitor line per reply: logon, record, acknowledgement";
}

TEST(ServerFaults, AnExtraLineMergedWithAReplyIsNeverTakenForTheNextRequest) {
    SimServer sim({"--merge", "--merge-text", "10|NONE", "--bookings", "4711:2"});
    LiveConnection live(sim.port());
    EXPECT_EQ(live.request("10|4711").rfind("10|\"", 0), 0u);
    EXPECT_EQ(live.request("12|1"), "12|OK");
    const std::string second = live.request("10|4711");
    EXPECT_EQ(second.rfind("10|\"", 0), 0u) << "the stale end-of-records line was dropped: " << second;
    EXPECT_TRUE(live.sawLine("R [ 10|NONE ]")) << "it is still shown on the monitor";
}

TEST(ServerFaults, GarbageBytesReachTheCallerAsTheyAreAndTheAgentCarriesOn) {
    SimServer prefix({"--garbage"});
    LiveConnection live(prefix.port());
    const std::string reply = live.request("10|4711");
    EXPECT_EQ(reply.size(), 16u + 7u) << reply;
    EXPECT_EQ(reply.substr(16), "10|NONE");
    EXPECT_TRUE(live.connection.connected);

    SimServer line({"--garbage-line"});
    LiveConnection second(line.port());
    const std::string first = second.request("10|4711");
    EXPECT_EQ(first.find("10|NONE"), std::string::npos) << "a garbage line before the reply is the first line";
    EXPECT_TRUE(second.connection.connected);
    EXPECT_TRUE(second.sawLine("R [ 10|NONE ]"));
}

TEST(ServerFaults, AnEndlessLineDropsTheLinkWithMemoryBoundedAndTheNextRequestWorks) {
    SimServer sim({"--endless-line", "52428800", "--endless-at", "3"});
    LiveConnection live(sim.port());
    EXPECT_EQ(live.request("10|4711"), "10|NONE");
    const long before = residentKiB();
    EXPECT_EQ(live.request("11|4711"), "BAD - lost connection");
    const long after = residentKiB();
    EXPECT_TRUE(live.sawLine("E {Error - line too long}"));
    EXPECT_FALSE(live.connection.connected);
    EXPECT_LT(after - before, 16 * 1024) << "50 MB streamed, at most about 1 MiB held";
    EXPECT_EQ(live.request("11|4711"), "11|NONE");
}

TEST(ServerFaults, RepliesEndedByLfAloneOrByNothingAreTaken) {
    SimServer lf({"--no-crlf"});
    LiveConnection a(lf.port());
    a.connection.connectToServer();
    int64_t took = 0;
    EXPECT_EQ(a.request("10|4711", &took), "10|NONE");

    SimServer none({"--no-eol"});
    LiveConnection b(none.port());
    b.connection.connectToServer();
    EXPECT_TRUE(b.connection.connected);
    EXPECT_EQ(b.request("10|4711", &took), "10|NONE");
    EXPECT_GE(took, 200) << "an unfinished line is taken after 200 ms of silence";
    EXPECT_LT(took, 5000);
    EXPECT_TRUE(b.sawLine("R [ Logon success ]"));
}
