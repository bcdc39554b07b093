#include <gtest/gtest.h>

#include "DownloadFixture.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell;
using namespace ostrell::dltest;
using Lines = std::vector<std::string>;

TEST(DownloadExchange, OneNewBookingRunsRequestStoreAcknowledgeThenBothEndsAndQuit) {
    DownloadFixture f;
    const std::string reply = "10|" + bookingLine("5");
    f.server.record("10|BK1", 5, reply);
    f.downloadFiles();
    EXPECT_EQ(f.exchange.sent, (Lines{"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"}));
    EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("5") + "\r\n");
    EXPECT_FALSE(f.fs.has(PaymentsPath));
    EXPECT_EQ(f.logTexts(), (Lines{reply}));  // end-of-records and acknowledgement replies are not logged
    EXPECT_EQ(f.launcher.started, (Lines{"/opt/brannick/upload --now"}));
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(DownloadExchange, AsksBookingsThenPaymentsForEachConfiguredNumberSentAsStored) {
    DownloadFixture f;
    f.params.loNumbers = {"", " BK1 ", "", "BK3", "   ", ""};  // blanks only count as not set
    f.server.record("10| BK1 ", 1, "10|" + bookingLine("1"));
    f.server.record("11|BK3", 2, "11|" + paymentLine("2"));
    f.server.record("11|BK3", 3, "11|" + paymentLine("3"));
    f.downloadFiles();
    EXPECT_EQ(f.exchange.sent, (Lines{"10| BK1 ", "12|1", "10| BK1 ", "10|BK3", "11| BK1 ", "11|BK3", "13|2",
                                      "11|BK3", "13|3", "11|BK3", "quit"}));
    EXPECT_EQ(fileLines(f.fs.content(PaymentsPath)), (Lines{paymentLine("2"), paymentLine("3")}));
}

TEST(DownloadExchange, RepliesAreClassifiedAndLoggedByteForByte) {
    DownloadFixture f;
    f.server.reply("10|BK1", "NONE");           // unexpected: logged, asked again
    f.server.reply("10|BK1", "10|1234");        // short: asked again, nothing logged
    f.server.reply("10|BK1", "10|abcd,9");      // record without quotes: stored whole; 2 fields, rejected
    f.server.record("10|BK1", 8, "zz10zz" + bookingLine("8"));
    f.server.reply("10|BK1", "10|none");        // end, any case
    f.server.reply("11|BK1", "Hello there");    // unexpected in payments
    f.server.reply("11|BK1", "BAD - timed out");
    f.downloadFiles();
    EXPECT_EQ(f.exchange.sent, (Lines{"10|BK1", "10|BK1", "10|BK1", "10|BK1", "12|8", "10|BK1", "11|BK1",
                                      "11|BK1", "quit"}));
    EXPECT_EQ(f.logTexts(), (Lines{
                                "Did not receive a 10 type record.'NONE'",
                                "10|abcd,9",
                                "Retry - bad data",
                                "zz10zz" + bookingLine("8"),
                                "Did not receive a 11 type record.'Hello there'",
                                "BAD received - Exiting procedure. Error(BAD - timed out)",
                            }));
    EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("8") + "\r\n");
}

TEST(DownloadExchange, ARecordReplyWithoutQuotesIsStoredWholeWithItsTypeDigits) {
    DownloadFixture f;
    f.server.record("11|BK1", 4, "11,4,120.50,2026-12-06");
    f.downloadFiles();
    EXPECT_EQ(f.fs.content(PaymentsPath), "11,4,120.50,2026-12-06\r\n");
    EXPECT_EQ(f.exchange.acks(), (Lines{"13|4"}));
}

// The toolkit takes the locale from LANG; a decimal comma must not cut "3.5" to 3, or the server hears
// of record 3 and sends record 4 again and again.
TEST(DownloadExchange, ARecordNumberWithAFractionIsReadWithAPointInEveryLocale) {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        testsupport::GeneratedLocale locale(name);
        ASSERT_TRUE(locale.hasDecimalComma()) << name;
        DownloadFixture f;
        f.server.record("11|BK1", 4, "11,3.5,120.50,2026-12-06");
        f.downloadFiles();
        EXPECT_EQ(f.exchange.acks(), (Lines{"13|4"})) << name;
    }
}

TEST(DownloadExchange, AFailureReplyLeavesBookingsForPaymentsAndInPaymentsEndsTheDownload) {
    DownloadFixture f;
    f.params.loNumbers = {"", "BK1", "BK2", "", "", ""};
    f.server.reply("10|BK1", "BAD - lost connection");
    f.server.reply("11|BK1", "BAD");
    f.downloadFiles();
    // No booking request for BK2; payments asked for BK1 only, as its failure ends everything.
    EXPECT_EQ(f.exchange.sent, (Lines{"10|BK1", "11|BK1", "quit"}));
    EXPECT_EQ(f.logTexts(), (Lines{"10 BAD received - going to payments. Error(BAD - lost connection)",
                                   "BAD received - Exiting procedure. Error(BAD)"}));
    EXPECT_TRUE(f.launcher.started.empty()) << "nothing received: no post-download command";
}

TEST(DownloadExchange, TheBadRecordCountIsSharedByAllNumbersOfAPhaseAndResetForPayments) {
    DownloadFixture f;
    f.params.loNumbers = {"", "BK1", "BK2", "BK3", "", ""};
    const std::string bad = "10|\"too\",\"few\"";
    for (int i = 0; i < 5; ++i) f.server.reply("10|BK1", bad);
    f.server.record("10|BK1", 1, "10|" + bookingLine("1"));  // a good record does not reset the count
    for (int i = 0; i < 4; ++i) f.server.reply("10|BK2", bad);
    f.server.reply("10|BK3", bad);                              // the 10th of the phase
    f.server.record("10|BK3", 2, "10|" + bookingLine("2"));    // never asked for
    const std::string badPay = "11|\"x\",\"y\"";
    for (int i = 0; i < 9; ++i) f.server.reply("11|BK2", badPay);  // 9 in payments: count restarted at 0
    f.server.reply("11|BK3", badPay);
    f.downloadFiles();
    Lines log = f.logTexts();
    const auto count = [&](const std::string& t) { return std::count(log.begin(), log.end(), t); };
    EXPECT_EQ(count("Retry - bad data"), 9 + 9);
    EXPECT_EQ(count("Too many retries - on to payments."), 1);
    EXPECT_EQ(count("Too many retries - exiting procedure."), 1);
    EXPECT_EQ(log[log.size() - 1], "Too many retries - exiting procedure.");
    EXPECT_EQ(f.exchange.acks(), (Lines{"12|1"}));
    EXPECT_EQ(f.exchange.sent.back(), "quit");
    EXPECT_EQ(std::count(f.exchange.sent.begin(), f.exchange.sent.end(), "11|BK1"), 1);
    EXPECT_EQ(std::count(f.exchange.sent.begin(), f.exchange.sent.end(), "11|BK3"), 1);
    // Bad records count as received: the command starts.
    EXPECT_EQ(f.launcher.started.size(), 1u);
}

TEST(DownloadExchange, ClosingQuitsOnlyWhenConnectedAndStartsTheCommandOnlyAfterARecordReply) {
    {
        DownloadFixture f;  // disconnected at the end, but a record came: command still starts
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.exchange.onRequest = [&](const std::string& r) { if (r == "11|BK1") f.exchange.connected = false; };
        f.downloadFiles();
        EXPECT_FALSE(f.exchange.quitSent);
        EXPECT_EQ(f.launcher.started, (Lines{"/opt/brannick/upload --now"}));
    }
    {
        DownloadFixture f;  // every record rejected: still counts as received
        f.server.reply("10|BK1", "10|\"only\",\"two\"");
        f.downloadFiles();
        EXPECT_TRUE(f.exchange.quitSent);
        EXPECT_EQ(f.launcher.started.size(), 1u);
    }
    {
        DownloadFixture f;  // only short, unexpected and end replies: no command
        f.server.reply("10|BK1", "10|x");
        f.server.reply("10|BK1", "what?");
        f.downloadFiles();
        EXPECT_TRUE(f.exchange.quitSent);
        EXPECT_TRUE(f.launcher.started.empty());
    }
    {
        DownloadFixture f;  // no command configured: nothing to start, nothing to report
        f.params.uploadCommand = "  ";
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.downloadFiles();
        EXPECT_TRUE(f.launcher.started.empty());
        EXPECT_TRUE(f.sinks.reports.empty());
    }
    {
        DownloadFixture f;  // a command that cannot start is reported under GetFiles
        f.launcher.failAll = true;
        f.server.record("10|BK1", 5, "10|" + bookingLine("5"));
        f.downloadFiles();
        EXPECT_EQ(f.sinks.where(), (Lines{"GetFiles:55"}));
        EXPECT_EQ(f.sinks.reports[0].moduleName, "frmMain");
    }
}

TEST(DownloadExchange, ParametersAreReadAtTheMomentOfUse) {
    DownloadFixture f;
    f.fs.addDirectory("/other");
    f.server.record("10|BK1", 1, "10|" + bookingLine("1"));
    f.server.record("10|BK1", 2, "10|" + bookingLine("2"));
    // A parameter refresh during the first acknowledgement's wait moves the data directory.
    f.exchange.onRequest = [&](const std::string& r) {
        if (r == "12|1") {
            f.params.dataDirPath = "/other/";
            f.params.loNumbers[2] = "BK2";
        }
    };
    f.downloadFiles();
    EXPECT_EQ(f.fs.content(BookingsPath), bookingLine("1") + "\r\n");
    EXPECT_EQ(f.fs.content("/other/InBookings.csv"), bookingLine("2") + "\r\n");
    EXPECT_NE(std::find(f.exchange.sent.begin(), f.exchange.sent.end(), "10|BK2"), f.exchange.sent.end());
}
