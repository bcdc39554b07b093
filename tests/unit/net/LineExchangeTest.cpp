#include <gtest/gtest.h>

#include <optional>

#include "unit/Fixture.h"

using namespace ostrell;
using platform::TcpSocket;
using unittest::Lines;

namespace {
// A logged-on connection whose server answers "10|..." requests with the given text after the given delay.
struct Exchange : unittest::NetFixture {
    explicit Exchange(std::string reply = "10|NONE\r\n", int64_t delay = 10) {
        logOn();
        replyDelayMs = delay;
        answer = [this, reply](const std::string&) { return reply; };
    }
};
}  // namespace

// One request on a logged-on connection: what the server sends and when (an empty text closes the
// link), what the caller gets, after how long, and what the monitor shows. The next request must get its
// own reply, on a new connection where this one was given up.
TEST(LineExchange, EachServerBehaviourGivesItsReplyInItsTimeAndLeavesNothingForTheNextRequest) {
    struct Send {
        int64_t atMs;
        std::string bytes;
    };
    struct Case {
        const char* name;
        bool endsLines;  // the server ends its lines with LF, the logon reply included
        std::vector<Send> sends;
        std::string reply;
        int64_t elapsedMs;
        std::optional<Lines> lines;
        bool givenUp;
    };
    const std::string big(1048575, 'x');
    const std::string front = "10|\"P5\",\"5\",\"25.00\",\"bal";  // four fields already
    const Case cases[] = {
        {"reply just inside the wait, taken the moment it arrives",
         true,
         {{7790, "10|NONE\r\n"}},
         "10|NONE",
         7790,
         Lines{"S 10|4711", "R [ 10|NONE ]"},
         false},
        {"reply just past the wait: 40 tests, 39 pauses of 200 ms, no monitor line",
         true,
         {{7810, "10|\"1\",\"late\"\r\n"}},
         "BAD - timed out",
         7800,
         Lines{"S 10|4711"},
         true},
        {"server drops the link mid-wait",
         true,
         {{500, ""}},
         "BAD - lost connection",
         500,
         Lines{"S 10|4711", "I lost connection"},
         true},
        {"a short reply never counts", true, {{10, "OK\r\n"}}, "BAD - timed out", 7800, Lines{"S 10|4711"}, true},
        {"blanks give an empty reply", true, {{10, "   \r\n"}}, "", 10, Lines{"S 10|4711", "R [  ]"}, false},
        {"merged replies: the first line, the rest dropped by the next request",
         true,
         {{10, "10|\"1\",\"a\"\r\n10|\"2\",\"b\"\r\n"}},
         "10|\"1\",\"a\"",
         10,
         Lines{"S 10|4711", "R [ 10|\"1\",\"a\" ]", "R [ 10|\"2\",\"b\" ]"},
         false},
        {"a line end on its own before the reply changes nothing",
         true,
         {{1, "\r\n"}, {10, "10|NONE\r\n"}},
         "10|NONE",
         10,
         std::nullopt,
         false},
        {"a line of exactly 1 MiB", true, {{10, big + "\r\n"}}, big, 10, std::nullopt, false},
        {"a line past 1 MiB drops the link",
         true,
         {{10, std::string(600 * 1024, 'y')}, {11, std::string(600 * 1024, 'y')}},
         "BAD - lost connection",
         11,
         Lines{"S 10|4711", "E {Error - line too long}", "I lost connection"},
         true},
        // A network may stall mid-line. Once the server has shown that it ends its lines, a stall must not
        // cut the line: the front of a payment record can look whole and be stored in place of the real one.
        {"a stall mid-line from a server that ends its lines",
         true,
         {{10, front}, {2010, "ance\"\r\n"}},
         "10|\"P5\",\"5\",\"25.00\",\"balance\"",
         2010,
         Lines{"S 10|4711", "R [ 10|\"P5\",\"5\",\"25.00\",\"balance\" ]"},
         false},
        {"a line whose end never comes is given up, not taken cut",
         true,
         {{10, front}},
         "BAD - timed out",
         7800,
         Lines{"S 10|4711"},
         true},
        {"a server that never ends lines: taken after 200 ms of silence",
         false,
         {{10, "10|NONE"}},
         "10|NONE",
         210,
         Lines{"S 10|4711", "R [ 10|NONE ]"},
         false},
        {"pieces less than 200 ms apart make one line",
         false,
         {{10, "10|N"}, {190, "ON"}, {380, "E"}},
         "10|NONE",
         580,
         Lines{"S 10|4711", "R [ 10|NONE ]"},
         false},
        {"an unended line before the hang-up, from a server that never ends lines",
         false,
         {{10, "BAD"}, {50, ""}},
         "BAD",
         50,
         std::nullopt,
         true},
        {"an unended line before the hang-up, from a server that ends lines",
         true,
         {{10, "BAD"}, {50, ""}},
         "BAD - lost connection",
         50,
         std::nullopt,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unittest::NetFixture f;
        f.logonReply = c.endsLines ? "Logon success\r\n" : "Logon success";
        f.logOn();
        f.answer = [&](const std::string& line) {
            if (line == "10|4711")
                for (const Send& s : c.sends)
                    s.bytes.empty() ? f.socket.peerClose(s.atMs) : f.socket.peerSend(s.bytes, s.atMs);
            return std::string(line == "12|7" ? (c.endsLines ? "12|OK\r\n" : "12|OK") : "");
        };
        const int64_t sent = f.loop.nowMs();
        EXPECT_EQ(f.connection.requestReply("10|4711"), c.reply);
        EXPECT_EQ(f.loop.nowMs() - sent, c.elapsedMs);
        if (c.lines) {
            EXPECT_EQ(f.view.lines, *c.lines);
        }
        EXPECT_EQ(f.connection.connected, !c.givenUp);
        EXPECT_TRUE(f.view.countdowns.empty()) << "the reply wait shows no countdown";
        EXPECT_EQ(f.connection.requestReply("12|7"), "12|OK");
        EXPECT_EQ(f.socket.connectCalls, c.givenUp ? 2 : 1);
        EXPECT_TRUE(f.sinks.reports.empty());
    }
}

TEST(LineExchange, TheExchangeRunsTheSameWithTheMonitorOff) {
    unittest::NetFixture f;
    f.logOn();
    f.view.visible = false;
    f.answer = [](const std::string&) { return std::string("10|NONE\r\n"); };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_TRUE(f.view.lines.empty());
}

TEST(LineExchange, NoServerGivesNotConnectedAfterTwoConnectionAttempts) {
    unittest::NetFixture f;
    f.socket.acceptConnections = false;
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - not connected");
    EXPECT_EQ(f.socket.connectCalls, 2);
    EXPECT_EQ(f.loop.nowMs(), 2 * 3100);
    EXPECT_EQ(f.view.lines, std::vector<std::string>{"I not connected"});
    EXPECT_TRUE(f.socket.sentBytes.empty());
}

TEST(LineExchange, ALogonLeftUnansweredOnAnOpenSocketGivesLostConnection) {
    Exchange f;
    f.connection.connected = false;  // after the download's quit, the server has not closed yet
    f.logonReply.clear();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - lost connection");
    EXPECT_EQ(f.view.lines,
              (std::vector<std::string>{"S {logon}", "I {closeing port .. no response.}", "I lost connection"}));
    EXPECT_EQ(f.socket.connectCalls, 1) << "the open socket was used, not a new one";
}

TEST(LineExchange, ARequestAfterALogonTimeOutReconnectsLogsOnAndIsSent) {
    unittest::NetFixture f;
    f.logonReply.clear();
    f.connection.connectToServer();
    ASSERT_TRUE(f.connection.connected);
    ASSERT_EQ(f.socket.state(), TcpSocket::StateClosed);
    f.logonReply = "Logon success\r\n";
    f.answer = [](const std::string&) { return std::string("11|NONE\r\n"); };
    f.view.lines.clear();
    EXPECT_EQ(f.connection.requestReply("11|4711"), "11|NONE");
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"I not connected", "S {logon}", "R [ Logon success ]",
                                                      "S 11|4711", "R [ 11|NONE ]"}));
    EXPECT_EQ(f.socket.sentLines, (std::vector<std::string>{"tolvane|QHT514", "tolvane|QHT514", "11|4711"}));
}

TEST(LineExchange, TheGreetingRuleAppliesBeforeTheLogonReplyOnlyAndAgainOnANewConnection) {
    unittest::NetFixture f;
    f.logonReply = "Welcome to Veltrana - Logon SUCCESS\r\n";
    f.answer = [](const std::string&) { return std::string("10|\"7\",\"Welcome Inn\",\"WELCOME PACK\"\r\n"); };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|\"7\",\"Welcome Inn\",\"WELCOME PACK\"");
    EXPECT_EQ(f.view.lines[2], "R [ to veltrana - logon success ]");
    EXPECT_EQ(f.connection.replyPos, 21) << "where \"success\" stands in the cleaned logon reply";

    f.socket.peerClose();
    f.loop.runFor(1);
    f.view.lines.clear();
    f.connection.requestReply("10|4711");
    EXPECT_EQ(f.view.lines[2], "R [ to veltrana - logon success ]");
}

TEST(LineExchange, AnEndRequestDuringTheReplyWaitUnwindsWithoutAReport) {
    Exchange f("", 10);
    f.loop.post(3000, [&] { f.loop.requestEnd(); });
    EXPECT_THROW(f.connection.requestReply("10|4711"), platform::ProgramEnding);
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(QuitLines, TheDownloadQuitShowsItselfPausesAndClearsConnectedLeavingTheSocketOpen) {
    Exchange f("");
    const int64_t start = f.loop.nowMs();
    f.connection.endExchange();
    EXPECT_EQ(f.view.lines, std::vector<std::string>{"S {quit}"});
    EXPECT_EQ(f.socket.sentLines.back(), "quit");
    EXPECT_EQ(f.loop.nowMs() - start, 300);
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.socket.state(), TcpSocket::StateConnected);

    // Not connected: nothing at all, and Connected is left as it was.
    f.socket.close();
    f.connection.connected = true;
    f.connection.endExchange();
    EXPECT_TRUE(f.connection.connected);
    EXPECT_EQ(f.view.lines.size(), 1u);
}

TEST(QuitLines, TheBareQuitLineGoesOutOnlyWhileConnectedAndShowsNothing) {
    Exchange f;
    f.connection.sendQuitLine();
    EXPECT_EQ(f.socket.sentBytes, "tolvane|QHT514\nquit\n");
    EXPECT_TRUE(f.view.lines.empty());
    EXPECT_TRUE(f.connection.connected);
    f.socket.close();
    f.connection.sendQuitLine();
    EXPECT_EQ(f.socket.sentBytes, "tolvane|QHT514\nquit\n");
}
