#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "DownloadFixture.h"
#include "platform/PlatformError.h"

using namespace ostrell;
using namespace ostrell::dltest;
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
        EXPECT_EQ(f.logTexts(), (Lines{"10|" + bookingLine("5"), "Record 5 not stored, not acknowledged - going to payments."}));
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

TEST(DownloadSafety, PowerLossRightAfterTheAcknowledgementLeavesTheRecordOnDisk) {
    DownloadFixture f;
    f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
    f.server.record("11|BK1", 9, "11|" + paymentLine("9"));
    // The power fails while each acknowledgement is on its way; the program dies with it.
    f.exchange.onRequest = [&](const std::string& r) {
        if (r == "12|5") {
            f.fs.powerLoss();
            throw fake::SimulatedCrash{};
        }
    };
    EXPECT_THROW(f.downloadFiles(), fake::SimulatedCrash);
    EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("5") + "\r\n");

    // After the restart the server sends record 5 again (it never heard back): acknowledged, not stored twice.
    f.exchange.onRequest = nullptr;
    f.downloadFiles();
    f.fs.powerLoss();
    EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("5") + "\r\n");
    EXPECT_EQ(f.fs.content(PaymentsPath), paymentLine("9") + "\r\n");
    EXPECT_EQ(f.server.acksTaken, (Lines{"12|5", "13|9"}));
}

TEST(DownloadSafety, ACrashAtAnyFileOperationNeverLeavesAnAcknowledgedRecordMissing) {
    auto setUp = [](DownloadFixture& f) {
        f.params.loNumbers[2] = "BK2";
        f.fs.putFile(BookingsPath, bookingLine("1") + "\r\n");  // from an earlier cycle
        f.server.record("10|BK1", 1, "10|" + bookingLine("1"));  // its acknowledgement had been lost
        f.server.record("10|BK1", 2, "10|" + bookingLine("2"));
        f.server.record("10|BK2", 3, "10|" + bookingLine("3"));
        f.server.record("11|BK1", 4, "11|" + paymentLine("4"));
        f.server.record("11|BK2", 5, "11|" + paymentLine("5"));
        f.server.acksToLose = 1;  // and one acknowledgement of this cycle is lost again
    };
    const Lines allBookings{bookingLine("1"), bookingLine("2"), bookingLine("3")};
    const Lines allPayments{paymentLine("4"), paymentLine("5")};

    int64_t operations = 0;
    {
        DownloadFixture f;
        setUp(f);
        f.downloadFiles();
        operations = f.fs.operations();
        EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), allBookings);
        EXPECT_EQ(fileLines(f.fs.content(PaymentsPath)), allPayments);
    }
    ASSERT_GT(operations, 10);
    size_t acksChecked = 0;
    for (int64_t crashAt = 1; crashAt <= operations; ++crashAt) {
        SCOPED_TRACE("crash at file operation " + std::to_string(crashAt));
        DownloadFixture f;
        setUp(f);
        int64_t seen = 0;
        f.fs.beforeOp = [&](Op, const std::string&) {
            if (++seen == crashAt) throw fake::SimulatedCrash{};
        };
        EXPECT_THROW(f.downloadFiles(), fake::SimulatedCrash);
        f.fs.powerLoss();
        acksChecked += f.expectEveryAckDurable();

        // Restarted, the next cycle completes the download with every record stored exactly once.
        f.fs.beforeOp = nullptr;
        f.exchange.connected = true;
        f.downloadFiles();
        f.fs.powerLoss();
        EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), allBookings);
        EXPECT_EQ(fileLines(f.fs.content(PaymentsPath)), allPayments);
        f.expectEveryAckDurable();
    }
    EXPECT_GT(acksChecked, 10u) << "the sweep must cover crashes after acknowledgements went out";
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
        EXPECT_EQ(fileLines(f.fs.content(PaymentsPath)), (Lines{paymentLine("8"), paymentLine("9"), paymentLine("10")}));
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
        EXPECT_EQ(std::count(log.begin(), log.end(),
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
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{bookingLine("4"), "\"torn", bookingLine("5"), bookingLine("6")}));
}

TEST(DownloadSafety, UnusableRepliesInARowLeaveThePhaseAfterAHundred) {
    {
        DownloadFixture f;  // a server that only ever answers beside the point
        f.exchange.maxRequests = 1000;
        f.exchange.server = [](const std::string&) { return std::string("garbage"); };
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
        f.exchange.server = [](const std::string& r) { return r.substr(0, 3) + "x"; };
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
        EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("No record", 0) == 0; }), 0);
    }
}
