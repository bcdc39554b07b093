#include <gtest/gtest.h>

#include <array>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::Lines;
using Net = unittest::NetFixture;

// One request on a logged-on connection: what the server sends and when (an empty text closes the
// link), what the caller gets, after how long, and what the monitor shows. The next request must get its
// own reply, on a new connection where this one was given up.
TEST(LineExchange, EachServerBehaviourGivesItsReplyInItsTimeAndLeavesNothingForTheNextRequest) {
    struct Case {
        const char* name;
        std::vector<std::pair<int64_t, std::string>> sends;  // at ms, what
        std::string reply;
        int64_t ms;  // the wait
        Lines lines;
        bool eol = true;   // the server ends its lines with LF, the logon reply included
        bool cut = false;  // more of the reply's line came after it was taken at a pause
    };
    const std::string front = R"(10|"P5","5","25.00","bal)", whole = front + "ance\"", mib(1048575, 'x');
    const std::string late = "BAD - timed out", lostIt = "BAD - lost connection", none = "10|NONE",
                      big(600UL << 10, 'y');
    const Lines sent{"S 10|4711"}, lost{"S 10|4711", "I lost connection"}, gotNone{"S 10|4711", "R [ 10|NONE ]"};
    const Lines tooLong{"S 10|4711", "E {Error - line too long}", "I lost connection"};
    const auto cases = std::to_array<Case>({
        // A reply is taken the moment it arrives; the wait is 40 tests, 39 pauses of 200 ms.
        {.name = "inside the wait", .sends = {{7790, "10|NONE\r\n"}}, .reply = none, .ms = 7790, .lines = gotNone},
        {.name = "past the wait", .sends = {{7810, "10|NONE\r\n"}}, .reply = late, .ms = 7800, .lines = sent},
        {.name = "the link dropped", .sends = {{500, ""}}, .reply = lostIt, .ms = 500, .lines = lost},
        {.name = "blanks and stray ends go",
         .sends = {{10, "  10|\rNONE \r\r\n"}},
         .reply = none,
         .ms = 10,
         .lines = gotNone},
        {.name = "a short reply never counts", .sends = {{10, "OK\r\n"}}, .reply = late, .ms = 7800, .lines = sent},
        // Merged replies: the first is the reply, the next request drops the rest.
        {.name = "merged",
         .sends = {{10, "10|A1\r\n10|B2\r\n"}},
         .reply = "10|A1",
         .ms = 10,
         .lines = {"S 10|4711", "R [ 10|A1 ]", "R [ 10|B2 ]"}},
        {.name = "exactly 1 MiB",
         .sends = {{10, mib + "\r\n"}},
         .reply = mib,
         .ms = 10,
         .lines = {"S 10|4711", "R [ " + mib.substr(0, 496)}},
        {.name = "past 1 MiB", .sends = {{10, big}, {11, big}}, .reply = lostIt, .ms = 11, .lines = tooLong},
        {.name = "a flood at once",
         .sends = {{10, std::string(3 << 20, 'z')}},
         .reply = lostIt,
         .ms = 10,
         .lines = tooLong},
        // Once the server has shown that it ends its lines, a stall in the network must not cut a line: the
        // front of a payment record can look whole and be stored in place of the real one.
        {.name = "stall mid-line",
         .sends = {{10, front}, {2010, "ance\"\r\n"}},
         .reply = whole,
         .ms = 2010,
         .lines = {"S 10|4711", "R [ " + whole + " ]"}},
        {.name = "an end that never comes", .sends = {{10, front}}, .reply = late, .ms = 7800, .lines = sent},
        // A server that never ends lines: pieces less than 200 ms apart, then silence; or a pause mid-line
        // (veltrana-sim --no-eol --split 24 --split-pause-ms 390), and one more pause shows the rest coming.
        {.name = "no ends: pieces",
         .sends = {{10, "10|N"}, {190, "ON"}, {380, "E"}},
         .reply = none,
         .ms = 580,
         .lines = gotNone,
         .eol = false},
        {.name = "no ends: a pause",
         .sends = {{10, front}, {400, "ance\""}},
         .reply = front,
         .ms = 210,
         .lines = {"S 10|4711", "R [ " + front + " ]"},
         .eol = false,
         .cut = true},
        {.name = "no ends: BAD, hang-up",
         .sends = {{10, "BAD"}, {50, ""}},
         .reply = "BAD",
         .ms = 50,
         .lines = {"S 10|4711", "R [ BAD ]"},
         .eol = false},
        {.name = "BAD, hang-up", .sends = {{10, "BAD"}, {50, ""}}, .reply = lostIt, .ms = 50, .lines = lost},
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Net f;
        f.logonReply = c.eol ? "Logon success\r\n" : "Logon success";
        f.connection.connectToServer();
        f.view.lines.clear();
        f.answer = [&](const std::string& line) {
            for (const auto& [at, bytes] : c.sends)
                if (line == "10|4711") bytes.empty() ? f.socket.peerClose(at) : f.socket.peerSend(bytes, at);
            return std::string(line == "12|7" ? (c.eol ? "12|OK\r\n" : "12|OK") : "");
        };
        const int64_t start = f.loop.nowMs();
        EXPECT_EQ(f.connection.requestReply("10|4711"), c.reply);
        EXPECT_EQ(f.loop.nowMs() - start, c.ms);
        EXPECT_EQ(f.connection.replyArrivedWhole(), !c.cut);
        EXPECT_EQ(f.view.lines, c.lines);
        const bool givenUp = c.reply.rfind("BAD", 0) == 0 || c.cut;
        EXPECT_EQ(f.connection.isConnected(), !givenUp);
        EXPECT_EQ(f.connection.requestReply("12|7"), "12|OK");
        EXPECT_EQ(f.socket.connectCalls, givenUp ? 2 : 1);
        EXPECT_TRUE(f.sinks.reports.empty());
    }
}

TEST(LineExchange, AnEndRequestDuringTheReplyWaitUnwindsWithoutAReport) {
    Net f;
    f.loop.post(3000, [&] { f.loop.requestEnd(); });
    EXPECT_THROW(f.connection.requestReply("10|4711"), platform::ProgramEnding);
    EXPECT_TRUE(f.sinks.reports.empty());
}

// The download's quit shows itself, gives the server 300 ms and leaves the socket open for the server to
// close; the bare quit line shows nothing. Neither goes out on a closed socket.
TEST(QuitLines, TheQuitLinesGoOutOnlyOnAnOpenSocket) {
    Net f;
    f.connection.connectToServer();
    f.view.lines.clear();
    const int64_t start = f.loop.nowMs();
    f.connection.endExchange();
    f.connection.sendQuitLine();
    EXPECT_EQ(f.view.lines, Lines{"S {quit}"});
    EXPECT_EQ(f.journal, (Lines{"> tolvane|QHT514", "> quit", "> quit"}));
    EXPECT_EQ(f.loop.nowMs() - start, 300);
    EXPECT_FALSE(f.connection.isConnected());
    EXPECT_EQ(f.socket.state(), platform::TcpSocket::StateConnected);
    f.socket.close();
    f.connection.endExchange();
    f.connection.sendQuitLine();
    EXPECT_EQ(f.journal.size(), 3u);
}
