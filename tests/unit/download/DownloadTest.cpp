#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <optional>

#include "download/ReplyClassification.h"
#include "platform/PlatformError.h"
#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Op = fake::FakeFileSystem::Op;
using F = TransferFixture;

namespace {
const std::string B5 = bookingLine("5"), B6 = bookingLine("6"), P7 = paymentLine("7");
const Lines NoFile{"<no file>"}, B5Only{"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"};

// After a power cut, every acknowledgement that went out names a record whose line is on disk.
void expectEveryAckDurable(F& f) {
    f.fs.beforeOp = nullptr;
    f.fs.powerLoss();
    for (const auto& ack : f.server.acksTaken) {
        const std::string content = f.fs.content(ack[1] == '2' ? BookingsPath : PaymentsPath);
        bool found = false;
        for (const auto& reply : f.server.repliesByAck[ack])
            found = found || content.find(download::recordLine(reply) + "\r\n") != std::string::npos;
        EXPECT_TRUE(found) << ack << " was acknowledged but its record is not on disk";
    }
}
}  // namespace

// A download against a scripted server: the requests it sends (or how many), the incoming files and the
// transfer log it leaves, whether the host's command starts, and which procedures reported a failure.
TEST(Download, EachServerScriptLeavesItsRequestsFilesLogAndCommand) {
    struct Case {
        const char* name;
        std::function<void(F&)> setUp;
        Lines sent, bookings, payments;
        std::optional<Lines> log;
        bool command;
        Lines reports;
        size_t requests = 0;
    };
    std::string manyFields = "10|\"a\"";
    for (int i = 2; i <= 10000; ++i) manyFields += ",\"" + std::to_string(i) + "\"";
    const std::string mib = bookingLine("1", std::string(1 << 20, 'm'));
    const std::string bytes = bookingLine("2", std::string("\x01\x02\t\x7f\xe9\xff\x80 caf\xc3\xa9", 13));
    const std::string cutB5 = B5.substr(0, B5.size() - 1);
    const std::string allergies =
        "BK1,Ann,2026-12-06,2026-12-09,5,allergies none,f8,f9,f10,f11,f12,f13,f14,f15,f16,f17,f18,f19,f20";
    const auto b5Waiting = [](const std::function<void(F&)>& then) {
        return [then](F& f) {
            f.server.record("10|BK1", 5, "10|" + B5);
            then(f);
        };
    };
    // The data directory rows: one booking and one payment waiting; the log cannot be written either.
    const auto seeded = [&](const std::function<void(F&)>& then) {
        return b5Waiting([then](F& f) {
            f.server.record("11|BK1", 7, "11|" + P7);
            then(f);
        });
    };
    const Lines unusable{"LogRec", "GetFiles", "LogRec", "LogRec", "GetFiles", "LogRec"};
    const auto always = [](const std::string& reply) {
        return [reply](F& f) { f.server.rule = [reply](const std::string& r) { return r.substr(0, 3) + reply; }; };
    };
    const auto cases = std::to_array<Case>({
        {"each configured number as stored, bookings then payments", [](F& f) {
             f.params.bkNumbers = {" BK1 ", "", "BK3", "   ", ""};
             f.server.record("10| BK1 ", 1, "10|" + bookingLine("1"));
             f.server.record("11|BK3", 3, "11,3,120.50,2026-12-06");  // no quotes: stored whole
         }, {"10| BK1 ", "12|1", "10| BK1 ", "10|BK3", "11| BK1 ", "11|BK3", "13|3", "11|BK3", "quit"},
         {bookingLine("1")}, {"11,3,120.50,2026-12-06"}, {}, true, {}},
        {"replies classified and logged byte for byte", [](F& f) {
             // unexpected, short, two fields
             for (const char* r : {"NONE", "10|1234", "10|abcd,9"}) f.server.reply("10|BK1", r);
             f.server.record("10|BK1", 6, "zz10zz" + B6);
             f.server.reply("10|BK1", "10| \"None\"");  // the end: the word alone, any case, quoted or not
             f.server.reply("11|BK1", "Hello there");
             f.server.reply("11|BK1", "BAD - timed out");
         }, {"10|BK1", "10|BK1", "10|BK1", "10|BK1", "12|6", "10|BK1", "11|BK1", "11|BK1", "quit"}, {B6}, NoFile,
         Lines{"Did not receive a 10 type record.'NONE'", "10|abcd,9", "Retry - bad data", "zz10zz" + B6,
               "Did not receive a 11 type record.'Hello there'",
               "BAD received - Exiting procedure. Error(BAD - timed out)"}, true, {}},
        {"a failure leaves bookings for payments, and in payments ends the download", [](F& f) {
             f.params.bkNumbers[1] = "BK2";
             f.server.reply("10|BK1", "BAD - lost connection");
             f.server.reply("11|BK1", "BAD");
         }, {"10|BK1", "11|BK1", "quit"}, NoFile, NoFile,
         Lines{"10 BAD received - going to payments. Error(BAD - lost connection)",
               "BAD received - Exiting procedure. Error(BAD)"}, false, {}},
        {"disconnected at the end: no quit, the command starts", b5Waiting([](F& f) {
             f.server.onRequest = [&f](const std::string& r) { f.server.connected = r != "11|BK1"; };
         }), {"10|BK1", "12|5", "10|BK1", "11|BK1"}, {B5}, NoFile, {}, true, {}},
        {"no command configured", b5Waiting([](F& f) { f.params.uploadCommand = "  "; }), B5Only, {B5}, NoFile, {},
         false, {}},
        {"a command that cannot start", b5Waiting([](F& f) { f.launcher.failAll = true; }), B5Only, {B5}, NoFile, {},
         false, {"GetFiles"}},
        {"parameters are read at the moment of use", b5Waiting([](F& f) {
             f.server.onRequest = [&f](const std::string& r) { if (r == "12|5") f.params.bkNumbers[1] = "BK2"; };
         }), {"10|BK1", "12|5", "10|BK1", "10|BK2", "11|BK1", "11|BK2", "quit"}, {B5}, NoFile, {}, true, {}},
        {"malformed records rejected, odd but whole ones stored as they came", [&](F& f) {
             for (const std::string& r : {std::string(R"(10|"""""")"),
                                          std::string("10|\"a,b,c,d,e,6,g,h,i,j,k,l,m,n,o,p,q,r,s,t"),
                                          manyFields, "10|" + bookingLine("99999999999")})
                 f.server.reply("10|BK1", r);
             f.server.record("10|BK1", 1, "10|" + mib);
             f.server.record("10|BK1", 2, "10|" + bytes);
             f.server.record("10|BK1", -5, "10|" + bookingLine("-5"));
         }, {}, {mib, bytes, bookingLine("-5")}, NoFile, {}, true, {"Valid8"}},
        // veltrana-sim --data (a line holding "allergies none", unquoted) --none-text '"NONE"'
        {"a remark saying none is a record, a quoted NONE ends the number", [&](F& f) {
             f.params.bkNumbers[1] = "BK2";
             f.server.record("10|BK1", 5, "10|" + allergies);
             f.server.reply("10|BK1", "10|\"NONE\"");
             f.server.record("10|BK2", 6, "10|" + B6);
         }, {"10|BK1", "12|5", "10|BK1", "10|BK2", "12|6", "10|BK2", "11|BK1", "11|BK2", "quit"},
         {"10|" + allergies, B6}, NoFile, {}, true, {}},
        // veltrana-sim --data (a line with an odd number of quotes)
        {"a record cut inside a quoted field", b5Waiting([&](F& f) { f.server.script.push_back("10|" + cutB5); }),
         {"10|BK1", "I {cut record - odd number of quotes}", "10|BK1", "12|5", "10|BK1", "11|BK1", "quit"}, {B5},
         NoFile, Lines{"10|" + cutB5, "Cut record (odd number of quotes) - not stored, not acknowledged.",
                       "Retry - bad data", "10|" + B5}, true, {}},
        // veltrana-sim --no-eol --split 19 --split-pause-ms 300
        {"a record cut at a pause, more of its line after it", [](F& f) {
             f.server.reply("11|BK1", "11,7,120.50,2026-12");
             f.server.cutAtPause = {"11,7,120.50,2026-12"};
             f.server.record("11|BK1", 7, "11,7,120.50,2026-12-06");
         }, {"10|BK1", "11|BK1", "I {cut record - more of its line came after a pause}", "11|BK1", "13|7", "11|BK1",
             "quit"}, NoFile, {"11,7,120.50,2026-12-06"}, std::nullopt, true, {}},
        {"a file without a final line end gets one first",
         b5Waiting([](F& f) { f.fs.putFile(BookingsPath, "\"torn"); }), B5Only, {"\"torn", B5}, NoFile, {}, true, {}},
        // An earlier append reached the file but its fsync failed: made durable before it is acknowledged.
        {"a record already in the file is acknowledged, not stored twice", b5Waiting([](F& f) {
             f.fs.putFile(BookingsPath, "");
             f.fs.append(BookingsPath, B5 + "\r\n", false);
             f.fs.putFile(PaymentsPath, B5 + "\r\n");  // the same line in the other file does not count
         }), B5Only, {B5}, {B5}, {}, true, {}},
        // End-of-records and acknowledgement replies are not logged.
        {"a lost acknowledgement: acknowledged again, stored once", b5Waiting([](F& f) { f.server.acksToLose = 1; }),
         {"10|BK1", "12|5", "10|BK1", "12|5", "10|BK1", "11|BK1", "quit"}, {B5}, NoFile, Lines{"10|" + B5, "10|" + B5},
         true, {}},
        {"acknowledgements never taken: the number is left after 3 repeats", b5Waiting([](F& f) {
             f.params.bkNumbers[1] = "BK2";
             f.server.record("10|BK2", 6, "10|" + B6);
             f.server.acksToLose = 3;
         }), {"10|BK1", "12|5", "10|BK1", "12|5", "10|BK1", "12|5", "10|BK1", "10|BK2", "12|6", "10|BK2", "11|BK1",
              "11|BK2", "quit"},
         {B5, B6}, NoFile, Lines{"10|" + B5, "10|" + B5, "10|" + B5, "10|" + B5,
               "Record 5 sent again 3 times after its acknowledgement - leaving 10|BK1 for the next cycle.",
               "10|" + B6},
         true, {}},
        // A record that cannot be stored is not acknowledged; its phase is left at once, and the server keeps it.
        {"a store that fails",
         seeded([](F& f) { f.params.bkNumbers[1] = "BK2", f.fs.failOn(Op::Append, EIO, 1, BookingsPath); }),
         {"10|BK1", "11|BK1", "13|7", "11|BK1", "11|BK2", "quit"}, NoFile, {P7},
         Lines{"10|" + B5, "Record 5 not stored, not acknowledged - going to payments.", "11|" + P7}, true,
         {"GetFiles"}},
        {"a full disk in payments", seeded([](F& f) { f.fs.failOn(Op::Append, ENOSPC, 1, PaymentsPath); }),
         {"10|BK1", "12|5", "10|BK1", "11|BK1", "quit"}, {B5}, NoFile,
         Lines{"10|" + B5, "11|" + P7, "Record 7 not stored, not acknowledged - Exiting procedure."}, true,
         {"GetFiles"}},
        {"a link is neither followed nor replaced",
         seeded([](F& f) { f.fs.putSymlink(BookingsPath, "/elsewhere/x.csv"); }), {}, NoFile, {P7}, {}, true,
         {"GetFiles"}},
        {"a read-only data directory", seeded([](F& f) { f.fs.setReadOnly("/data"); }), {}, NoFile, NoFile, {}, true,
         unusable},
        {"an incoming file locked by the importer", seeded([](F& f) {
             f.fs.putFile(BookingsPath, "");
             f.fs.beforeOp = [](Op op, const std::string& p) {
                 if (p == BookingsPath && op != Op::Length) throw platform::errnoError(EBUSY, p);
             };
         }), {}, {}, {P7}, {}, true, {"GetFiles"}},
        // A server that never gives a usable record: the tenth bad record of a phase (all its numbers) ends
        // the phase, the hundredth unusable reply in a row to a number leaves it.
        {"bad records", always(R"("too","few")"), {}, NoFile, NoFile, {}, true, {}, 10 + 10 + 1},
        {"unexpected replies", [](F& f) { f.server.rule = [](const std::string&) { return std::string("huh"); }; }, {},
         NoFile, NoFile, {}, false, {}, 100 + 100 + 1},
        {"the count of unusable replies starts again after a record", [](F& f) {
             for (int i = 0; i < 99; ++i) f.server.reply("10|BK1", i % 2 ? "10|x" : "huh");
             f.server.record("10|BK1", 5, "10|" + B5);
             for (int i = 0; i < 99; ++i) f.server.reply("10|BK1", "10|x");
         }, {}, {B5}, NoFile, {}, true, {}, 99 + 2 + 99 + 5},
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        F f;
        if (c.requests) f.params.bkNumbers[1] = "BK2";
        c.setUp(f);
        f.downloader.downloadFiles();
        const auto lines = [&](const std::string& path) {
            return f.fs.isFile(path) ? fileLines(f.fs.content(path)) : NoFile;
        };
        EXPECT_EQ(c.sent.empty() ? Lines{} : f.server.sent, c.sent);
        EXPECT_EQ(c.requests ? f.server.sent.size() : 0, c.requests);
        EXPECT_EQ(lines(BookingsPath), c.bookings);
        EXPECT_EQ(lines(PaymentsPath), c.payments);
        EXPECT_EQ(c.log ? f.logTexts() : Lines{}, c.log.value_or(Lines{}));
        EXPECT_EQ(f.launcher.started, c.command ? Lines{"/opt/brannick/upload --now"} : Lines{});
        EXPECT_EQ(reportedProcedures(f.sinks), c.reports);
        expectEveryAckDurable(f);
        Lines told;  // the downloader tells of each record it stored, and acknowledges it next
        std::string bk;
        for (const std::string& r : f.server.sent)
            if (r[0] == '1' && r[1] <= '1') bk = r.substr(3);
            else if (r[0] == '1') told.push_back(bk + (r[1] == '2' ? " booking" : " payment"));
        EXPECT_EQ(f.events.said, told);
    }
}

// While the command started after the last download still runs (it may be reading the incoming files), the
// next downloads wait: nothing is appended, and the transfer log says so once.
TEST(Download, WaitsWhileThePostDownloadCommandStillRuns) {
    F f;
    f.server.record("10|BK1", 5, "10|" + B5);
    f.downloader.downloadFiles();
    f.server.record("10|BK1", 6, "10|" + B6);
    for (int cycle = 0; cycle < 2; ++cycle) f.downloader.downloadFiles();
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), Lines{B5});
    const Lines log = f.logTexts();
    EXPECT_EQ(std::count(log.begin(), log.end(), download::CommandRunningText), 1);
    f.launcher.finishAll();
    f.downloader.downloadFiles();
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{B5, B6}));
}

TEST(Download, TheFileIsReadOnceAndAgainOnlyWhenItsLengthChanges) {
    F f;
    f.fs.putFile(BookingsPath, bookingLine("0") + "\r\n");
    for (int n = 1; n <= 2000; ++n) f.server.record("10|BK1", n, "10|" + bookingLine(std::to_string(n)));
    int reads = 0;
    f.fs.beforeOp = [&](Op op, const std::string& p) { reads += op == Op::Read && p == BookingsPath; };
    // The importer takes the file after record 1000, and the host adds record 1500's line itself.
    f.server.onRequest = [&](const std::string& r) {
        if (r == "12|1000") f.fs.remove(BookingsPath);
        if (r == "12|1400") f.fs.append(BookingsPath, bookingLine("1500") + "\r\n", true);
    };
    f.downloader.downloadFiles();
    EXPECT_EQ(f.server.acksTaken.size(), 2000u);
    EXPECT_EQ(reads, 3) << "at the start, after the host's line, to confirm record 1500 is that line";
    const Lines lines = fileLines(f.fs.content(BookingsPath));
    ASSERT_EQ(lines.size(), 1000u);  // 1001..2000, record 1500 once (the host's line)
    EXPECT_EQ(lines.front(), bookingLine("1001"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), bookingLine("1500")), 1);
}
