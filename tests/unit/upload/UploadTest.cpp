#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>

#include "platform/PlatformError.h"
#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using namespace std::string_literals;
using Op = fake::FakeFileSystem::Op;
using F = TransferFixture;
using Files = std::map<std::string, std::string>;  // base name -> bytes

namespace {
const std::string Prices = "PRC001,a\r\nPRC002,b\r\nPRC003,c\r\n", Child = "c1\r\nc2\r\n";
const std::string Cut = "PRC002,b\r\nPRC003,c\r\n", Temp = "/data/Prices.csv.ostrell-tmp";
const Lines PricesGivenUp{"1|c1", "1|c2", "4|PRC001|0|a"};

// Prices is given up at its second record; Child is sent in full.
std::function<void(F&)> refusingPrc002(const std::function<void(F&)>& then) {
    return [then](F& f) {
        f.server.rule = [](const std::string& r) {
            return r == "4|PRC002|0|b" ? std::string("BAD") : r.substr(0, 1) + "|SUCCESS";
        };
        then(f);
    };
}
}  // namespace

// Outgoing files in the data directory and a server script, sent for some cycles: the requests the server
// accepted, the data files afterwards (anything not listed must be gone), the settings written and the
// reporting procedures. The server accepts whatever its script leaves.
TEST(Upload, EachFileAndServerScriptLeavesItsAcceptedLinesFilesAndReports) {
    struct Case {
        const char* name;
        Files files;
        std::function<void(F&)> setUp;
        int cycles;
        Lines ledger;
        Files after;
        Lines reports;
        std::optional<Lines> log = {};
        Lines writes = {};
    };
    const auto script = [](const Lines& replies) {
        return [replies](F& f) { f.server.script.assign(replies.begin(), replies.end()); };
    };
    const auto failing = [](Op op, int errnum, int nth, const std::string& path = "") {
        return refusingPrc002([=](F& f) { f.fs.failOn(op, errnum, nth, path); });
    };
    const Files both{{"Child", Child}, {"Prices", Prices}};
    const auto cases = std::to_array<Case>({
        {"files go in kind order; files sent in full and empty ones are deleted",
         {{"RoomTypes", "RT0001,x"}, {"Bookings", "b1"}, {"Deleted", "d1"}, {"Prices", ""}, {"Periods", "PER001,x"},
          {"EndDate", "e1"}, {"Child", "c1"}},
         [](F&) {}, 1, {"1|c1", "2|e1", "3|PER001|0|x", "5|d1", "6|b1", "7|RT0001|0|x"}, {}, {}, {},
         {"Ostrell/Batch3=1", "Ostrell/Batch7=1"}},
        {"the worked example; the marker alternates per complete file, each kind its own key",
         {{"Prices", "PRC017,\"Room 1, sea view\",350,\r\n218,\"Room 1, sea view\",350,"},
          {"RoomTypes", "RT0001,Double"}},
         [](F& f) { f.store.set("Ostrell", "Batch7", "5"); }, 1,
         {"4|PRC017|0|Room 1, sea view|350| ", "4|218|Roo0|m 1, sea view|350| ", "7|RT0001|5|Double"}, {}, {},
         Lines{" G 4|PRC017|0|Room 1, sea view|350| ", " G 4|218|Roo0|m 1, sea view|350| ", " G 7|RT0001|5|Double"},
         {"Ostrell/Batch4=1", "Ostrell/Batch7=0"}},
        {"an unreadable marker stays 0, a record too short for it goes without; both reported",
         {{"Periods", "PER001,x\rAB"}}, [](F& f) { f.store.unreadable.insert("Batch3"); }, 1, {"3|PER001|0|x", "3|AB"},
         {}, {"SendFileOK", "SendFileOK"}, {}, {"Ostrell/Batch3=1"}},
        // The second cycle starts with the record that stopped the first; a given-up file keeps its marker.
        {"a partly sent file keeps what was not accepted, with CR LF ends",
         {{"EndDate", "r1\rr2\r\nr3\rr4\nx\r\n\r\n"}, {"Prices", "PRC001,a"}},
         script({"2|SUCCESS", "2|SUCCESS", "BAD", "BAD"}), 2, {"2|r1", "2|r2", "2|r3", "2|r4 x", "2|", "4|PRC001|0|a"},
         {}, {}, {}, {"Ostrell/Batch4=1"}},
        {"five failed attempts per file, not per record", {{"EndDate", "r1\rr2\rr3"}},
         script({"2|FAILED", "BAD - timed out", "bad", "2|SUCCESS", "BAD - lost connection", "2|failed: dup"}), 1,
         {"2|r1"}, {{"EndDate", "r2\r\nr3\r\n"}}, {},
         Lines{"2|FAILED", "*F 2|r1", "*R 2|r1", "BAD - timed out", "*R 2|r1", "bad", "*R 2|r1", " G 2|r1",
               "BAD - lost connection", "*R 2|r2", "2|failed: dup", "*F 2|r2", "*T 2|r2"}},
        {"only the kind's own digit with SUCCESS accepts; an exact BAD stops the file unlogged",
         {{"Deleted", "a,0,b\rc"}}, script({"3|SUCCESS", "xx 5|Success yy", "BAD"}), 1, {"5|a|0000|b"},
         {{"Deleted", "c\r\n"}}, {}, Lines{"3|SUCCESS", "*R 5|a|0000|b", " G 5|a|0000|b", "*B 5|c"}},
        {"a file of which nothing was accepted stays byte for byte",
         {{"Child", "\"a,b\rc\nd\r\n\r\n   \r\x01\xff tail"}},
         script({"1|FAILED", "BAD"}), 1, {}, {{"Child", "\"a,b\rc\nd\r\n\r\n   \r\x01\xff tail"}}, {},
         Lines{"1|FAILED", "*F 1|a,b", "*R 1|a,b", "*B 1|a,b"}},
        {"an unreadable file is reported, left as it is, and the next file still goes",
         {{"Child", "c1"}, {"EndDate", "e1"}}, [](F& f) { f.fs.failOn(Op::Read, EIO, 1, F::path("Child")); }, 1,
         {"2|e1"}, {{"Child", "c1"}}, {"SendFiles"}},
        {"a link is reported, not sent and left as it is", {{"Child", "c1"}},
         [](F& f) { f.fs.putSymlink(F::path("Prices"), "/elsewhere/prices.csv"); }, 1, {"1|c1"}, {}, {"SendFiles"},
         Lines{" G 1|c1", "Outgoing file is a symbolic link - not sent, left as it is: /data/Prices.csv"}},
        {"a file the host replaced or took away while it was sent is left to the host",
         {{"Child", Child}, {"EndDate", "e1"}}, [](F& f) {
             f.server.onRequest = [&f](const std::string& r) {
                 if (r == "1|c1") f.fs.putFile(F::path("Child"), "new1\r\n");
                 if (r == "2|e1") f.fs.remove(F::path("EndDate"));
             };
         }, 1, {"1|c1", "1|c2", "2|e1"}, {{"Child", "new1\r\n"}}, {},
         Lines{" G 1|c1", " G 1|c2", "File changed while being sent - left as it is: /data/Child.csv", " G 2|e1"}},
        {"an empty file that gets a line before its disposal stays", {{"Periods", ""}}, [](F& f) {
             f.fs.beforeOp = [&f, reads = 0](Op op, const std::string& p) mutable {
                 if (op == Op::Read && p == F::path("Periods") && ++reads == 2) f.fs.putFile(p, "PER001,x\r\n");
             };
         }, 1, {}, {{"Periods", "PER001,x\r\n"}}, {}},
        {"a last line without its end, changed within 2 s, waits; it keeps having no end", {{"Child", "c1\r\nc2\r\n"}},
         [](F& f) { f.fs.putFile(F::path("Child"), "c1\r\nc2\r\nc3"); }, 1, {"1|c1", "1|c2"}, {{"Child", "c3"}}, {}},
        {"a work file left by a crash goes at the next send",
         {{"Prices.csv.ostrell-tmp", "PRC001,a"}, {"Prices", "PRC000,z"}}, script({"BAD"}), 1, {},
         {{"Prices", "PRC000,z"}}, {}},
        // Each step of the disposal failing: the original stays whole, no work file stays, and it is reported.
        {"re-read fails", both, failing(Op::Read, EIO, 5), 1, PricesGivenUp, {{"Prices", Prices}}, {"SendFiles"}},
        {"work file not written", both, failing(Op::Create, ENOSPC, 1), 1, PricesGivenUp, {{"Prices", Prices}},
         {"SendFiles"}},
        {"rename fails", both, failing(Op::Rename, EIO, 1, Temp), 1, PricesGivenUp, {{"Prices", Prices}},
         {"SendFiles"}},
        {"sync after rename fails", both, failing(Op::SyncDir, EIO, 2), 1, PricesGivenUp, {{"Prices", Cut}},
         {"SendFiles"}},
        {"delete fails", both, failing(Op::Remove, EACCES, 1), 1, PricesGivenUp, {{"Child", Child}, {"Prices", Cut}},
         {"SendFiles"}},
        {"sync after delete fails", both, failing(Op::SyncDir, EIO, 1), 1, PricesGivenUp, {{"Prices", Cut}},
         {"SendFiles"}},
        {"rename and the work file's removal fail: it goes at the next send", {{"Prices", Prices}},
         refusingPrc002([](F& f) { f.fs.failOn(Op::Rename, EIO, 1, Temp), f.fs.failOn(Op::Remove, EIO); }), 2,
         {"4|PRC001|0|a"}, {{"Prices", Cut}}, {"SendFiles", "SendFiles"}},
        {"a read-only directory keeps every file as it was", both,
         refusingPrc002([](F& f) { f.fs.setReadOnly("/data"); }), 1, PricesGivenUp, both,
         {"LogRec", "LogRec", "SendFiles", "LogRec", "LogRec", "SendFiles"}},
        // Read and append but no delete or create in the folder: what the server has is noted, not sent again.
        {"a file that cannot be disposed of", both, [](F& f) {
             f.fs.beforeOp = [](Op op, const std::string& p) {
                 if ((op == Op::Remove || op == Op::Create) && p.rfind("/data/", 0) == 0)
                     throw platform::errnoError(EACCES, p);
             };
             f.server.script = {"1|SUCCESS", "1|SUCCESS", "4|SUCCESS", "BAD"};
         }, 3, {"1|c1", "1|c2", "4|PRC001|0|a", "4|PRC002|0|b", "4|PRC003|0|c"}, both, Lines(6, "SendFiles"), {},
         {"Ostrell/Batch4=1"}},
        // Deleting needs no space, but there is no room for the note of what of Prices the server has.
        {"a full disk", both,
         refusingPrc002([](F& f) { f.fs.setCapacity(static_cast<int64_t>(Child.size() + Prices.size())); }), 1,
         PricesGivenUp, {{"Prices", Prices}},
         {"SendFileOK", "LogRec", "LogRec", "SendFileOK", "LogRec", "LogRec", "SendFiles"}},
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        F f;
        for (const auto& [base, bytes] : c.files)
            f.fs.putFile(base.find('.') == std::string::npos ? F::path(base) : "/data/" + base, bytes);
        f.loop.runFor(upload::UnfinishedLineQuietMs);  // the host wrote the files a while ago
        c.setUp(f);
        for (int cycle = 0; cycle < c.cycles; ++cycle) f.uploader.sendFiles();
        EXPECT_EQ(f.server.ledger, c.ledger);
        Lines told;  // the uploader tells of each line the server accepted, by its file
        for (const std::string& r : c.ledger)
            told.push_back(upload::outFileName(upload::OutKind(r[0] - '0')) + ".csv"s);
        EXPECT_EQ(f.events.said, told);
        Lines names;
        for (const auto& [base, bytes] : c.after) {
            names.push_back(base + ".csv");
            EXPECT_EQ(f.fs.content(F::path(base)), bytes) << base;
        }
        EXPECT_EQ(f.dataFiles(), names);
        EXPECT_EQ(reportedProcedures(f.sinks), c.reports);
        EXPECT_EQ(c.log ? f.logTexts() : Lines{}, c.log.value_or(Lines{}));
        EXPECT_EQ(f.store.writes, c.writes);
    }
}

// The host appends a line before each file operation of a send, by name or into the file it opened one
// or two operations earlier (renamed or deleted by then), while a file is deleted or cut down; the next
// cycles accept all. Every line reaches the server exactly once.
TEST(Upload, ALineTheHostAddsAtAnyStepIsSentOnce) {
    int hit = 0;
    for (const bool cutDown : {false, true})
        for (const int later : {0, 1, 2})
            for (int step = 1; step < 200; ++step) {
                F f;
                f.fs.putFile(F::path("Bookings"), "b1\r\nb2\r\nb3\r\n");
                f.loop.runFor(upload::UnfinishedLineQuietMs);
                f.server.script.assign({"6|SUCCESS", cutDown ? "BAD" : "6|SUCCESS"});
                std::function<void(const std::string&)> host;
                int ops = 0;
                f.fs.beforeOp = [&](Op, const std::string&) {
                    if (++ops == step) host = f.fs.openedElsewhere(F::path("Bookings"));
                    if (ops == step + later) host("h1\r\n");
                };
                f.uploader.sendFiles();
                if (ops < step + later) break;
                ++hit;
                f.fs.beforeOp = nullptr;
                f.loop.runFor(upload::UnfinishedLineQuietMs);
                for (int cycle = 0; cycle < 2; ++cycle)
                    if (f.uploader.hasFilesToSend()) f.uploader.sendFiles();  // as the cycle asks
                Lines ledger = f.server.ledger;
                std::sort(ledger.begin(), ledger.end());
                EXPECT_EQ(ledger, (Lines{"6|b1", "6|b2", "6|b3", "6|h1"})) << cutDown << later << " step " << step;
                EXPECT_EQ(f.dataFiles(), Lines{}) << cutDown << later << " step " << step;
                EXPECT_EQ(f.fs.list("/state/ostrell"), Lines{}) << "the note of accepted lines goes with them";
            }
    EXPECT_GT(hit, 60);
}

// An end request while a reply is awaited in the middle of a file; then a new start sends only the rest.
// (A kill at every operation of a cycle is the reliability suite's kill sweep.)
TEST(Upload, AnEndRequestInMidFileLeavesOnlyTheRestForTheNextStart) {
    F f;
    f.fs.putFile(F::path("Bookings"), "b1\r\nb2\r\nb3\r\n");
    f.loop.runFor(upload::UnfinishedLineQuietMs);
    f.server.onRequest = [](const std::string& r) {
        if (r == "6|b2") throw platform::ProgramEnding{};
    };
    EXPECT_THROW(f.uploader.sendFiles(), platform::ProgramEnding);
    f.server.onRequest = nullptr;
    upload::FileUploader restarted{f.fs,     f.server, f.log,    f.settings,      f.reporter,
                                   f.params, f.loop,   f.events, "/state/ostrell"};
    restarted.sendFiles();
    EXPECT_EQ(f.server.ledger, (Lines{"6|b1", "6|b2", "6|b3"}));
    EXPECT_EQ(f.dataFiles(), Lines{});
}
