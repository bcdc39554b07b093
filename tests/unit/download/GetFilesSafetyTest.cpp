#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "platform/PlatformError.h"
#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Lines = std::vector<std::string>;
using Op = fake::FakeFileSystem::Op;

namespace {
// Makes the next append to path fail with errnum, once.
void failNextAppendTo(DownloadFixture& f, const std::string& path, int errnum) {
    auto armed = std::make_shared<bool>(true);
    f.fs.beforeOp = [path, errnum, armed](Op op, const std::string& p) {
        if (op == Op::Append && p == path && *armed) {
            *armed = false;
            throw platform::errnoError(errnum, p);
        }
    };
}
}  // namespace

TEST(DownloadSafety, ARecordThatCannotBeStoredIsNotAcknowledgedAndItsPhaseIsLeft) {
    {
        DownloadFixture f;
        f.params.loNumbers[2] = "BK2";
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.server.record("10|BK2", 6, "10|" + bookingLine("6"));
        failNextAppendTo(f, BookingsPath, EIO);
        f.downloadFiles();
        // Bookings left at once (no BK2 request, no endless re-asking); payments still asked for.
        EXPECT_EQ(f.exchange.sent, (Lines{"10|BK1", "11|BK1", "11|BK2", "quit"}));
        EXPECT_EQ(f.sinks.where(), (Lines{"GetFiles:20"}));
        EXPECT_EQ(f.sinks.reports[0].number, platform::err::DeviceIoError);
        EXPECT_EQ(f.logTexts(),
                  (Lines{"10|" + bookingLine("5"), "Record 5 not stored, not acknowledged - going to payments."}));
        EXPECT_FALSE(f.fs.has(BookingsPath));
        // The server kept the record; the next cycle stores and acknowledges it.
        f.exchange.connected = true;
        f.downloadFiles();
        EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{bookingLine("5"), bookingLine("6")}));
        EXPECT_EQ(f.server.acksTaken, (Lines{"12|5", "12|6"}));
    }
    {
        DownloadFixture f;
        f.params.loNumbers[2] = "BK2";
        f.server.record("11|BK1", 7, "11|" + paymentLine("7"));
        failNextAppendTo(f, PaymentsPath, ENOSPC);
        f.downloadFiles();
        EXPECT_EQ(f.exchange.sent, (Lines{"10|BK1", "10|BK2", "11|BK1", "quit"}));
        EXPECT_EQ(f.logTexts().back(), "Record 7 not stored, not acknowledged - Exiting procedure.");
        EXPECT_EQ(f.sinks.reports.at(0).number, platform::err::DiskFull);
    }
    {
        DownloadFixture f;  // an incoming file that is a link is neither followed nor replaced
        f.fs.putFile("/elsewhere/target.csv", "kept\r\n");
        f.fs.putSymlink(BookingsPath, "/elsewhere/target.csv");
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.downloadFiles();
        EXPECT_TRUE(f.server.acksTaken.empty());
        EXPECT_EQ(f.sinks.where(), (Lines{"GetFiles:20"}));
        EXPECT_EQ(f.logTexts().back(), "Record 5 not stored, not acknowledged - going to payments.");
        EXPECT_EQ(f.fs.content("/elsewhere/target.csv"), "kept\r\n");
        EXPECT_TRUE(f.fs.isSymlink(BookingsPath));
    }
}

TEST(DownloadSafety, ARecordSentAgainIsAcknowledgedButStoredOnce) {
    {
        DownloadFixture f;  // the acknowledgement was lost, so the server sends the record again
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.server.acksToLose = 1;
        f.downloadFiles();
        EXPECT_EQ(f.exchange.acks(), (Lines{"12|5", "12|5"}));
        EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("5") + "\r\n");
        const Lines log = f.logTexts();
        EXPECT_EQ(std::count(log.begin(), log.end(), "10|" + bookingLine("5")), 2) << "each record reply is logged";
    }
    {
        DownloadFixture f;  // stored by an earlier cycle whose acknowledgement never arrived
        f.fs.putFile(PaymentsPath, paymentLine("8") + "\r\n" + paymentLine("9") + "\r\n");
        f.server.record("11|BK1", 9, "11|" + paymentLine("9"));
        f.server.record("11|BK1", 10, "11|" + paymentLine("10"));
        f.downloadFiles();
        EXPECT_EQ(f.server.acksTaken, (Lines{"13|9", "13|10"}));
        EXPECT_EQ(fileLines(f.fs.content(PaymentsPath)),
                  (Lines{paymentLine("8"), paymentLine("9"), paymentLine("10")}));
    }
    {
        DownloadFixture f;  // a server that never takes the acknowledgement: its BK number is left after 3 repeats
        f.params.loNumbers[2] = "BK2";
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.server.record("10|BK2", 6, "10|" + bookingLine("6"));
        f.server.acksToLose = 3;
        f.downloadFiles();
        EXPECT_EQ(f.exchange.acks(), (Lines{"12|5", "12|5", "12|5", "12|6"}));
        EXPECT_EQ(std::count(f.exchange.sent.begin(), f.exchange.sent.end(), "10|BK1"), 4);
        EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{bookingLine("5"), bookingLine("6")}));
        const Lines log = f.logTexts();
        EXPECT_EQ(
            std::count(log.begin(), log.end(),
                       "Record 5 sent again 3 times after its acknowledgement - leaving 10|BK1 for the next cycle."),
            1);
        f.exchange.connected = true;  // the next cycle asks again
        f.downloadFiles();
        EXPECT_EQ(f.server.acksTaken, (Lines{"12|6", "12|5"}));
    }
    {
        DownloadFixture f;  // the same line in the other incoming file does not count
        f.fs.putFile(PaymentsPath, bookingLine("5") + "\r\n");
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.downloadFiles();
        EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("5") + "\r\n");
    }
}

TEST(DownloadSafety, ALineAlreadyInTheFileIsMadeDurableBeforeItIsAcknowledged) {
    DownloadFixture f;
    // An earlier append reached the file but its fsync failed: the line is there, but not on disk yet.
    f.fs.putFile(BookingsPath, bookingLine("4") + "\r\n");
    f.fs.append(BookingsPath, bookingLine("5") + "\r\n", false);
    f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
    f.downloadFiles();
    EXPECT_EQ(f.exchange.acks(), (Lines{"12|5"}));
    f.fs.powerLoss();
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{bookingLine("4"), bookingLine("5")}));
}

TEST(DownloadSafety, TheFileIsReadOnceAndAgainOnlyWhenItsLengthChanges) {
    DownloadFixture f;
    f.fs.putFile(BookingsPath, bookingLine("0") + "\r\n");
    for (int n = 1; n <= 2000; ++n) f.server.record("10|BK1", n, "10|" + bookingLine(std::to_string(n)));
    int reads = 0;
    f.fs.beforeOp = [&](Op op, const std::string& p) { reads += op == Op::Read && p == BookingsPath; };
    // The importer takes the file after record 1000, and the host adds record 1500's line itself.
    f.exchange.onRequest = [&](const std::string& r) {
        if (r == "12|1000") f.fs.remove(BookingsPath);
        if (r == "12|1400") f.fs.append(BookingsPath, bookingLine("1500") + "\r\n", true);
    };
    f.downloadFiles();
    EXPECT_EQ(f.exchange.acks().size(), 2000u);
    EXPECT_EQ(reads, 3) << "once at the start, once after the host's line, once to confirm record 1500 is that line; "
                           "not once per record";
    const Lines lines = fileLines(f.fs.content(BookingsPath));
    ASSERT_EQ(lines.size(), 1000u);  // 1001..2000, record 1500 once (the host's line)
    EXPECT_EQ(lines.front(), bookingLine("1001"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), bookingLine("1500")), 1);
}

TEST(DownloadSafety, AFileThatDoesNotEndWithALineEndGetsOneBeforeTheRecord) {
    DownloadFixture f;
    f.fs.putFile(BookingsPath, bookingLine("4") + "\r\n\"torn");
    f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
    f.server.record("10|BK1", 6, "10|" + bookingLine("6"));
    f.downloadFiles();
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)),
              (Lines{bookingLine("4"), "\"torn", bookingLine("5"), bookingLine("6")}));
}

TEST(DownloadSafety, UnusableRepliesInARowLeaveThePhaseAfterAHundred) {
    {
        DownloadFixture f;  // a server that only ever answers beside the point
        f.exchange.maxRequests = 1000;
        f.exchange.rule = [](const std::string&) { return say("garbage"); };
        f.downloadFiles();
        EXPECT_EQ(f.exchange.sent.size(), 201u);
        EXPECT_EQ(std::count(f.exchange.sent.begin(), f.exchange.sent.end(), "10|BK1"), 100);
        EXPECT_EQ(std::count(f.exchange.sent.begin(), f.exchange.sent.end(), "11|BK1"), 100);
        const Lines log = f.logTexts();
        ASSERT_EQ(log.size(), 202u);
        EXPECT_EQ(log[99], "Did not receive a 10 type record.'garbage'");
        EXPECT_EQ(log[100], "No record after 100 unusable replies to 10|BK1 - going to payments.");
        EXPECT_EQ(log[201], "No record after 100 unusable replies to 11|BK1 - Exiting procedure.");
    }
    {
        DownloadFixture f;  // short replies only: nothing logged but the giving up
        f.exchange.maxRequests = 1000;
        f.exchange.rule = [](const std::string& r) { return say(r.substr(0, 3) + "x"); };
        f.downloadFiles();
        EXPECT_EQ(f.exchange.sent.size(), 201u);
        EXPECT_EQ(f.logTexts(), (Lines{"No record after 100 unusable replies to 10|BK1 - going to payments.",
                                       "No record after 100 unusable replies to 11|BK1 - Exiting procedure."}));
    }
    {
        DownloadFixture f;  // 99 in a row, a record, 99 more: the count starts again after the record
        for (int i = 0; i < 99; ++i) f.server.reply("10|BK1", i % 2 ? "10|x" : "huh");
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        for (int i = 0; i < 99; ++i) f.server.reply("10|BK1", "10|x");
        f.downloadFiles();
        EXPECT_EQ(f.exchange.acks(), (Lines{"12|5"}));
        EXPECT_EQ(f.exchange.sent[f.exchange.sent.size() - 2], "11|BK1") << "bookings ended by their end reply";
        const Lines log = f.logTexts();
        EXPECT_EQ(
            std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("No record", 0) == 0; }),
            0);
    }
}
