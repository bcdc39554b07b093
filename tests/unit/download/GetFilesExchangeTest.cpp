#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "unit/Fixture.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell;
using namespace ostrell::unittest;

// A download against a scripted server: the requests it sends, the incoming files and the transfer log
// it leaves, whether the host's command starts, and the reports.
TEST(DownloadExchange, EachServerScriptLeavesItsRequestsFilesLogAndCommand) {
    const Lines noFile{"<no file>"};
    const std::string b5 = bookingLine("5");
    struct Case {
        const char* name;
        std::function<void(DownloadFixture&)> setUp;
        Lines sent;
        Lines bookings, payments;
        std::optional<Lines> log;
        bool command;
        Lines reports;
    };
    const Case cases[] = {
        // End-of-records and acknowledgement replies are not logged.
        {"one new booking: request, store, acknowledge, then both ends and the quit",
         [&](auto& f) { f.server.record("10|BK1", 5, "10|" + b5); },
         {"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"},
         {b5},
         noFile,
         Lines{"10|" + b5},
         true,
         {}},
        {"bookings then payments for each configured number, sent as stored (blanks only: not set)",
         [](auto& f) {
             f.params.loNumbers = {"", " BK1 ", "", "BK3", "   ", ""};
             f.server.record("10| BK1 ", 1, "10|" + bookingLine("1"));
             f.server.record("11|BK3", 2, "11|" + paymentLine("2"));
             f.server.record("11|BK3", 3, "11|" + paymentLine("3"));
         },
         {"10| BK1 ", "12|1", "10| BK1 ", "10|BK3", "11| BK1 ", "11|BK3", "13|2", "11|BK3", "13|3", "11|BK3", "quit"},
         {bookingLine("1")},
         {paymentLine("2"), paymentLine("3")},
         std::nullopt,
         true,
         {}},
        {"replies classified and logged byte for byte",
         [](auto& f) {
             f.server.reply("10|BK1", "NONE");       // unexpected: logged, asked again
             f.server.reply("10|BK1", "10|1234");    // short: asked again, nothing logged
             f.server.reply("10|BK1", "10|abcd,9");  // record without quotes: stored whole; 2 fields, rejected
             f.server.record("10|BK1", 8, "zz10zz" + bookingLine("8"));
             f.server.reply("10|BK1", "10|none");  // end, any case
             f.server.reply("11|BK1", "Hello there");
             f.server.reply("11|BK1", "BAD - timed out");
         },
         {"10|BK1", "10|BK1", "10|BK1", "10|BK1", "12|8", "10|BK1", "11|BK1", "11|BK1", "quit"},
         {bookingLine("8")},
         noFile,
         Lines{"Did not receive a 10 type record.'NONE'", "10|abcd,9", "Retry - bad data", "zz10zz" + bookingLine("8"),
               "Did not receive a 11 type record.'Hello there'",
               "BAD received - Exiting procedure. Error(BAD - timed out)"},
         true,
         {}},
        {"a record reply without quotes is stored whole with its type digits",
         [](auto& f) { f.server.record("11|BK1", 4, "11,4,120.50,2026-12-06"); },
         {"10|BK1", "11|BK1", "13|4", "11|BK1", "quit"},
         noFile,
         {"11,4,120.50,2026-12-06"},
         std::nullopt,
         true,
         {}},
        {"a failure leaves bookings for payments, and in payments ends the download",
         [](auto& f) {
             f.params.loNumbers = {"", "BK1", "BK2", "", "", ""};
             f.server.reply("10|BK1", "BAD - lost connection");
             f.server.reply("11|BK1", "BAD");
         },
         {"10|BK1", "11|BK1", "quit"},
         noFile,
         noFile,
         Lines{"10 BAD received - going to payments. Error(BAD - lost connection)",
               "BAD received - Exiting procedure. Error(BAD)"},
         false,
         {}},
        {"disconnected at the end: no quit, but a record came, so the command starts",
         [&](auto& f) {
             f.server.record("10|BK1", 5, "10|" + b5);
             f.exchange.onRequest = [&f](const std::string& r) {
                 if (r == "11|BK1") f.exchange.connected = false;
             };
         },
         {"10|BK1", "12|5", "10|BK1", "11|BK1"},
         {b5},
         noFile,
         std::nullopt,
         true,
         {}},
        {"every record rejected still counts as received",
         [](auto& f) { f.server.reply("10|BK1", "10|\"only\",\"two\""); },
         {"10|BK1", "10|BK1", "11|BK1", "quit"},
         noFile,
         noFile,
         std::nullopt,
         true,
         {}},
        {"only short, unexpected and end replies: no command",
         [](auto& f) {
             f.server.reply("10|BK1", "10|x");
             f.server.reply("10|BK1", "what?");
         },
         {"10|BK1", "10|BK1", "10|BK1", "11|BK1", "quit"},
         noFile,
         noFile,
         std::nullopt,
         false,
         {}},
        {"no command configured: nothing to start, nothing to report",
         [&](auto& f) {
             f.params.uploadCommand = "  ";
             f.server.record("10|BK1", 5, "10|" + b5);
         },
         {"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"},
         {b5},
         noFile,
         std::nullopt,
         false,
         {}},
        {"a command that cannot start is reported under GetFiles",
         [&](auto& f) {
             f.launcher.failAll = true;
             f.server.record("10|BK1", 5, "10|" + b5);
         },
         {"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"},
         {b5},
         noFile,
         std::nullopt,
         false,
         {"GetFiles:55"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadFixture f;
        c.setUp(f);
        f.downloadFiles();
        const auto lines = [&](const std::string& path) {
            return f.fs.has(path) ? fileLines(f.fs.content(path)) : noFile;
        };
        EXPECT_EQ(f.exchange.sent, c.sent);
        EXPECT_EQ(lines(BookingsPath), c.bookings);
        EXPECT_EQ(lines(PaymentsPath), c.payments);
        if (c.log) {
            EXPECT_EQ(f.logTexts(), *c.log);
        }
        EXPECT_EQ(f.launcher.started, c.command ? Lines{"/opt/brannick/upload --now"} : Lines{});
        EXPECT_EQ(f.sinks.where(), c.reports);
    }
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

TEST(DownloadExchange, TheBadRecordCountIsSharedByAllNumbersOfAPhaseAndResetForPayments) {
    DownloadFixture f;
    f.params.loNumbers = {"", "BK1", "BK2", "BK3", "", ""};
    const std::string bad = "10|\"too\",\"few\"";
    for (int i = 0; i < 5; ++i) f.server.reply("10|BK1", bad);
    f.server.record("10|BK1", 1, "10|" + bookingLine("1"));  // a good record does not reset the count
    for (int i = 0; i < 4; ++i) f.server.reply("10|BK2", bad);
    f.server.reply("10|BK3", bad);                           // the 10th of the phase
    f.server.record("10|BK3", 2, "10|" + bookingLine("2"));  // never asked for
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
