#include <gtest/gtest.h>

#include "unit/net/NetFixture.h"

using namespace ostrell;
using platform::TcpSocket;

namespace {
// A logged-on connection whose server answers "10|..." requests with the given text after the given delay.
struct Exchange : nettest::NetFixture {
    explicit Exchange(std::string reply = "10|NONE\r\n", int64_t delay = 10) {
        logOn();
        replyDelayMs = delay;
        answer = [this, reply](const std::string&) { return reply; };
    }
};
}  // namespace

TEST(LineExchange, AReplyAt7790MsCountsAndOneAt7810MsIsTimedOut) {
    Exchange f("10|NONE\r\n", 7790);
    const int64_t sent = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_EQ(f.loop.nowMs() - sent, 7790) << "taken the moment it arrived";
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"S 10|4711", "R [ 10|NONE ]"}));
    EXPECT_TRUE(f.view.countdowns.empty()) << "the reply wait shows no countdown";

    f.replyDelayMs = 7810;
    const int64_t sent2 = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - timed out");
    EXPECT_EQ(f.loop.nowMs() - sent2, 7800) << "40 tests, 39 pauses of 200 ms";
    EXPECT_EQ(f.view.lines.back(), "S 10|4711") << "a time-out writes no monitor line";
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(LineExchange, ALateReplyIsNeverTakenForTheNextRequestWhichLogsOnAfresh) {
    Exchange f("10|\"1\",\"late\"\r\n", 7810);
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - timed out");
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);

    f.replyDelayMs = 10;
    f.answer = [](const std::string& line) { return line == "12|7" ? std::string("12|OK\r\n") : std::string(); };
    f.view.lines.clear();
    EXPECT_EQ(f.connection.requestReply("12|7"), "12|OK");
    EXPECT_EQ(f.socket.connectCalls, 2);
    EXPECT_EQ(f.logons, 2);
    EXPECT_EQ(f.view.lines,
              (std::vector<std::string>{"I not connected", "S {logon}", "R [ Logon success ]", "S 12|7", "R [ 12|OK ]"}));
}

TEST(LineExchange, AServerThatDropsTheLinkMidWaitGivesLostConnectionAtOnceAndTheNextRequestReconnects) {
    Exchange f("", 10);
    f.answer = [&f](const std::string& line) {
        if (line == "10|4711") f.socket.peerClose(500);
        return line == "12|7" ? std::string("12|OK\r\n") : std::string();
    };
    const int64_t sent = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - lost connection");
    EXPECT_EQ(f.loop.nowMs() - sent, 500) << "not the whole 7.8 s reply wait";
    EXPECT_FALSE(f.connection.connected);
    EXPECT_EQ(f.view.lines.back(), "I lost connection");
    EXPECT_EQ(f.connection.requestReply("12|7"), "12|OK");
    EXPECT_EQ(f.socket.connectCalls, 2);
}

TEST(LineExchange, NoServerGivesNotConnectedAfterTwoConnectionAttempts) {
    nettest::NetFixture f;
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
    nettest::NetFixture f;
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

TEST(LineExchange, ShortRepliesNeverCountAndThreeBlanksGiveAnEmptyReply) {
    Exchange shortReply("OK\r\n");
    EXPECT_EQ(shortReply.connection.requestReply("12|1"), "BAD - timed out");
    EXPECT_EQ(shortReply.view.lines, std::vector<std::string>{"S 12|1"});
    EXPECT_EQ(shortReply.connection.receiveBuffer, "OK") << "the short text is kept, but not as a reply";

    Exchange blanks("   \r\n");
    EXPECT_EQ(blanks.connection.requestReply("12|1"), "");
    EXPECT_EQ(blanks.view.lines, (std::vector<std::string>{"S 12|1", "R [  ]"}));
}

TEST(LineExchange, MergedRepliesGiveTheFirstLineAndTheRestIsDroppedByTheNextRequest) {
    Exchange f;
    f.answer = [](const std::string& line) {
        if (line == "10|4711") return std::string("10|\"1\",\"a\"\r\n10|\"2\",\"b\"\r\n");
        return std::string("12|OK\r\n");
    };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|\"1\",\"a\"");
    EXPECT_EQ(f.connection.requestReply("12|1"), "12|OK");
    EXPECT_EQ(f.view.lines, (std::vector<std::string>{"S 10|4711", "R [ 10|\"1\",\"a\" ]", "R [ 10|\"2\",\"b\" ]",
                                                      "S 12|1", "R [ 12|OK ]"}));

    // A line end arriving on its own after the reply changes nothing (it used to empty the reply).
    f.answer = [&](const std::string&) {
        f.socket.peerSend("\r\n", 1);
        return std::string("10|NONE\r\n");
    };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
}

TEST(LineExchange, AReplySplitByteByByteIsOneReply) {
    Exchange f;
    const std::string reply = "10|\"5\",\"Smith, J\",\"2026-12-24\"\r\n";
    f.answer = [&](const std::string&) {
        for (size_t i = 0; i < reply.size(); ++i) f.socket.peerSend(reply.substr(i, 1), 10 + 150 * static_cast<int64_t>(i));
        return std::string();
    };
    const int64_t sent = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|\"5\",\"Smith, J\",\"2026-12-24\"");
    EXPECT_EQ(f.loop.nowMs() - sent, 10 + 150 * static_cast<int64_t>(reply.size() - 1));
    EXPECT_EQ(f.view.lines.size(), 2u) << "one reply line on the monitor, not one per piece";
}

TEST(LineExchange, AnUnfinishedLineIsTakenAfter200MsOfSilence) {
    // A server that never ends its lines, the logon reply included (one that does: PausedLineTest).
    nettest::NetFixture f;
    f.logonReply = "Logon success";
    f.logOn();
    f.answer = [](const std::string&) { return std::string("10|NONE"); };
    const int64_t sent = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_EQ(f.loop.nowMs() - sent, 10 + 200);

    // Pieces less than 200 ms apart still make one line; the flush waits for the last of them.
    f.answer = [&](const std::string&) {
        f.socket.peerSend("10|N", 10);
        f.socket.peerSend("ON", 190);
        f.socket.peerSend("E", 380);
        return std::string();
    };
    const int64_t sent2 = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_EQ(f.loop.nowMs() - sent2, 380 + 200);
}

TEST(LineExchange, TheGreetingRuleAppliesBeforeTheLogonReplyOnlyAndAgainOnANewConnection) {
    nettest::NetFixture f;
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

TEST(LineExchange, ALineLongerThan1MiBDropsTheConnectionAndTheNextRequestConnectsAgain) {
    Exchange f;
    const std::string big(1048575, 'x');
    f.answer = [&](const std::string&) { return big + "\r\n"; };  // exactly 1 MiB before its LF
    EXPECT_EQ(f.connection.requestReply("10|4711").size(), big.size());
    EXPECT_TRUE(f.connection.connected);

    f.answer = [&](const std::string&) {
        for (int i = 0; i < 4; ++i) f.socket.peerSend(std::string(600 * 1024, 'y'), 10 + i);
        return std::string();
    };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "BAD - lost connection");
    EXPECT_EQ(f.view.lines[f.view.lines.size() - 2], "E {Error - line too long}");
    EXPECT_EQ(f.view.lines.back(), "I lost connection");
    EXPECT_EQ(f.socket.state(), TcpSocket::StateClosed);
    EXPECT_FALSE(f.connection.connected);

    f.answer = [](const std::string&) { return std::string("10|NONE\r\n"); };
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_EQ(f.socket.connectCalls, 2);
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(LineExchange, TheExchangeRunsTheSameWithTheMonitorOff) {
    Exchange f;
    f.view.visible = false;
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_TRUE(f.view.lines.empty());
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

TEST(LineExchange, AnUnendedLineBeforeTheServerHangsUpIsTheReplyOnlyFromAServerThatNeverEndsLines) {
    for (const bool endsLines : {false, true}) {
        SCOPED_TRACE(endsLines);
        nettest::NetFixture f;
        f.logonReply = endsLines ? "Logon success\r\n" : "Logon success";
        f.logOn();
        f.answer = [&f](const std::string&) {
            f.socket.peerClose(50);
            return std::string("BAD");
        };
        EXPECT_EQ(f.connection.requestReply("4|PRC001|0|a"), endsLines ? "BAD - lost connection" : "BAD");
        EXPECT_FALSE(f.connection.connected);
    }
}
