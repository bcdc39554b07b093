#include <gtest/gtest.h>

#include "unit/net/NetFixture.h"

using namespace ostrell;

// A network may stall in the middle of a line. Once the server has shown that it ends its lines with LF,
// a stall must not cut the line: the cut-off front of a payment record can still look like a whole
// record, which would be stored and acknowledged in place of the real one.
TEST(PausedLine, AStallMidLineNeverCutsARecordOnceTheServerEndsItsLines) {
    nettest::NetFixture f;
    f.logOn();  // "Logon success" with CR LF: this server ends its lines
    const std::string front = "11|\"P5\",\"5\",\"25.00\",\"bal";  // four fields already
    f.answer = [&](const std::string&) {
        f.socket.peerSend(front, 10);
        f.socket.peerSend("ance\"\r\n", 10 + 2000);
        return std::string();
    };
    const int64_t sent = f.loop.nowMs();
    EXPECT_EQ(f.connection.requestReply("11|4711"), "11|\"P5\",\"5\",\"25.00\",\"balance\"");
    EXPECT_EQ(f.loop.nowMs() - sent, 2010);
    EXPECT_EQ(f.view.lines.back(), "R [ 11|\"P5\",\"5\",\"25.00\",\"balance\" ]");

    // A line whose end never comes is given up with the request, not taken cut; the next request
    // starts on a fresh connection with nothing of it left over.
    f.answer = [&](const std::string& line) {
        if (line == "11|4711") f.socket.peerSend(front, 10);
        return std::string(line == "10|4711" ? "10|NONE\r\n" : "");
    };
    EXPECT_EQ(f.connection.requestReply("11|4711"), "BAD - timed out");
    EXPECT_EQ(f.connection.requestReply("10|4711"), "10|NONE");
    EXPECT_EQ(f.socket.connectCalls, 2);

    // A server that has never ended a line on this connection still gets its replies taken after
    // 200 ms of silence, from the logon on.
    nettest::NetFixture bare;
    bare.logonReply = "Logon success";
    bare.answer = [](const std::string&) { return std::string("11|NONE"); };
    bare.logOn();
    EXPECT_TRUE(bare.connection.connected);
    const int64_t asked = bare.loop.nowMs();
    EXPECT_EQ(bare.connection.requestReply("11|4711"), "11|NONE");
    EXPECT_EQ(bare.loop.nowMs() - asked, 10 + 200);
}
