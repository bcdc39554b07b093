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
        bool endsLines;  // the server ends its lines with LF, the logon reply included
        std::vector<std::pair<int64_t, std::string>> sends;
        std::string reply;
        int64_t elapsedMs;
        Lines lines;
        bool cut = false;  // more of the reply's line came after it was taken at a pause
    };
    const std::string front = R"(10|"P5","5","25.00","bal)", whole = front + "ance\"", mib(1048575, 'x');
    const Lines sent{"S 10|4711"}, lost{"S 10|4711", "I lost connection"}, none{"S 10|4711", "R [ 10|NONE ]"};
    // clang-format off
    const auto cases = std::to_array<Case>({
        {"a reply just inside the wait is taken the moment it arrives", true, {{7790, "10|NONE\r\n"}}, "10|NONE", 7790, none},
        {"a reply just past the wait: 40 tests, 39 pauses of 200 ms", true, {{7810, "10|NONE\r\n"}}, "BAD - timed out", 7800, sent},
        {"the server drops the link mid-wait", true, {{500, ""}}, "BAD - lost connection", 500, lost},
        {"blanks and stray line ends around a reply go", true, {{10, "  10|\rNONE \r\r\n"}}, "10|NONE", 10, none},
        {"a short reply never counts", true, {{10, "OK\r\n"}}, "BAD - timed out", 7800, sent},
        {"merged replies: the first is the reply, the next request drops the rest", true, {{10, "10|A1\r\n10|B2\r\n"}}, "10|A1", 10,
         {"S 10|4711", "R [ 10|A1 ]", "R [ 10|B2 ]"}},
        {"a line of exactly 1 MiB", true, {{10, mib + "\r\n"}}, mib, 10, {"S 10|4711", "R [ " + mib.substr(0, 496)}},
        {"a line past 1 MiB drops the link", true, {{10, std::string(600UL * 1024, 'y')}, {11, std::string(600UL * 1024, 'y')}},
         "BAD - lost connection", 11, {"S 10|4711", "E {Error - line too long}", "I lost connection"}},
        {"a flood in one arrival drops the link", true, {{10, std::string(3 << 20, 'z')}}, "BAD - lost connection", 10,
         {"S 10|4711", "E {Error - line too long}", "I lost connection"}},
        // Once the server has shown that it ends its lines, a stall in the network must not cut a line: the
        // front of a payment record can look whole and be stored in place of the real one.
        {"a stall mid-line from a server that ends its lines", true, {{10, front}, {2010, "ance\"\r\n"}}, whole, 2010,
         {"S 10|4711", "R [ " + whole + " ]"}},
        {"a line whose end never comes is given up, not taken cut", true, {{10, front}}, "BAD - timed out", 7800, sent},
        {"a server that never ends lines: pieces less than 200 ms apart, then silence", false, {{10, "10|N"}, {190, "ON"}, {380, "E"}},
         "10|NONE", 580, none},
        // veltrana-sim --no-eol --split 24 --split-pause-ms 390: one more pause shows the rest coming.
        {"a pause mid-line from a server that never ends lines", false, {{10, front}, {400, "ance\""}}, front, 210,
         {"S 10|4711", "R [ " + front + " ]"}, true},
        {"BAD then the hang-up, from a server that never ends lines", false, {{10, "BAD"}, {50, ""}}, "BAD", 50, {"S 10|4711", "R [ BAD ]"}},
        {"BAD then the hang-up, from a server that ends lines", true, {{10, "BAD"}, {50, ""}}, "BAD - lost connection", 50, lost},
    });
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Net f;
        f.logonReply = c.endsLines ? "Logon success\r\n" : "Logon success";
        f.connection.connectToServer();
        f.view.lines.clear();
        f.answer = [&](const std::string& line) {
            for (const auto& [at, bytes] : c.sends)
                if (line == "10|4711") bytes.empty() ? f.socket.peerClose(at) : f.socket.peerSend(bytes, at);
            return std::string(line == "12|7" ? (c.endsLines ? "12|OK\r\n" : "12|OK") : "");
        };
        const int64_t start = f.loop.nowMs();
        EXPECT_EQ(f.connection.requestReply("10|4711"), c.reply);
        EXPECT_EQ(f.loop.nowMs() - start, c.elapsedMs);
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
    EXPECT_EQ(f.socket.state(), platform::SocketState::Connected);
    f.socket.close();
    f.connection.endExchange();
    f.connection.sendQuitLine();
    EXPECT_EQ(f.journal.size(), 3u);
}
