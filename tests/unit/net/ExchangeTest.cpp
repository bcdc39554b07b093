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
        std::vector<std::pair<int64_t, std::string>> in;  // what the server sends at which ms
        std::string out;                                  // what the caller gets
        int64_t ms;                                       // the wait
        Lines shown;                                      // on the monitor
        // The server ends its lines with LF, the logon reply included; more of the reply's line came after
        // it was taken at a pause.
        bool eol = true, cut = false;
    };
    const std::string front = R"(10|"P5","5","25.00","bal)", whole = front + "ance\"", mib(1048575, 'x');
    const std::string late = "BAD - timed out", lostIt = "BAD - lost connection", none = "10|NONE",
                      big(600UL << 10, 'y');
    const Lines sent{"S 10|4711"}, lost{"S 10|4711", "I lost connection"}, gotNone{"S 10|4711", "R [ 10|NONE ]"};
    const Lines tooLong{"S 10|4711", "E {Error - line too long}", "I lost connection"};
    const auto got = [](const std::string& reply) { return Lines{"S 10|4711", "R [ " + reply + " ]"}; };
    const std::pair<int64_t, std::string> bad{10, "BAD"}, hangUp{50, ""};
    const auto cases = std::to_array<Case>({
        // A reply is taken the moment it arrives; the wait is 40 tests, 39 pauses of 200 ms.
        {.name = "inside the wait", .in = {{7790, "10|NONE\r\n"}}, .out = none, .ms = 7790, .shown = gotNone},
        {.name = "past the wait", .in = {{7810, "10|NONE\r\n"}}, .out = late, .ms = 7800, .shown = sent},
        {.name = "the link dropped", .in = {{500, ""}}, .out = lostIt, .ms = 500, .shown = lost},
        {.name = "blanks go", .in = {{10, "  10|\rNONE \r\r\n"}}, .out = none, .ms = 10, .shown = gotNone},
        {.name = "too short", .in = {{10, "OK\r\n"}}, .out = late, .ms = 7800, .shown = sent},
        // Merged replies: the first is the reply, the next request drops the rest.
        {.name = "merged",
         .in = {{10, "10|A1\r\n10|B2\r\n"}},
         .out = "10|A1",
         .ms = 10,
         .shown = {"S 10|4711", "R [ 10|A1 ]", "R [ 10|B2 ]"}},
        {.name = "1 MiB",
         .in = {{10, mib + "\r\n"}},
         .out = mib,
         .ms = 10,
         .shown = {"S 10|4711", "R [ " + mib.substr(0, 496)}},
        {.name = "past 1 MiB", .in = {{10, big}, {11, big}}, .out = lostIt, .ms = 11, .shown = tooLong},
        // Once the server has shown that it ends its lines, a stall in the network must not cut a line: the
        // front of a payment record can look whole and be stored in place of the real one.
        {.name = "a stall", .in = {{10, front}, {2010, "ance\"\r\n"}}, .out = whole, .ms = 2010, .shown = got(whole)},
        {.name = "no end comes", .in = {{10, front}}, .out = late, .ms = 7800, .shown = sent},
        // A server that never ends lines: pieces less than 200 ms apart, then silence; or a pause mid-line
        // (veltrana-sim --no-eol --split 24 --split-pause-ms 390), and one more pause shows the rest coming.
        {.name = "pieces",
         .in = {{10, "10|N"}, {190, "ON"}, {380, "E"}},
         .out = none,
         .ms = 580,
         .shown = gotNone,
         .eol = false},
        {.name = "a pause",
         .in = {{10, front}, {400, "ance\""}},
         .out = front,
         .ms = 210,
         .shown = got(front),
         .eol = false,
         .cut = true},
        {.name = "no ends: BAD", .in = {bad, hangUp}, .out = "BAD", .ms = 50, .shown = got("BAD"), .eol = false},
        {.name = "BAD, closed", .in = {bad, hangUp}, .out = lostIt, .ms = 50, .shown = lost},
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Net f;
        f.logonReply = c.eol ? "Logon success\r\n" : "Logon success";
        f.connection.connectToServer();
        f.view.lines.clear();
        f.answer = [&](const std::string& line) {
            for (const auto& [at, bytes] : c.in)
                if (line == "10|4711") bytes.empty() ? f.socket.peerClose(at) : f.socket.peerSend(bytes, at);
            return std::string(line == "12|7" ? (c.eol ? "12|OK\r\n" : "12|OK") : "");
        };
        const int64_t start = f.loop.nowMs();
        EXPECT_EQ(f.connection.requestReply("10|4711"), c.out);
        EXPECT_EQ(f.loop.nowMs() - start, c.ms);
        EXPECT_EQ(f.connection.replyArrivedWhole(), !c.cut);
        EXPECT_EQ(f.view.lines, c.shown);
        const bool givenUp = c.out.rfind("BAD", 0) == 0 || c.cut;
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
    EXPECT_EQ(f.socket.state(), platform::SocketState::Connected);
    f.socket.close();
    f.connection.endExchange();
    f.connection.sendQuitLine();
    EXPECT_EQ(f.journal.size(), 3u);
}
