#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Strings = std::vector<std::string>;

namespace {
// Loads lines as the file of a kind and sends them.
bool sendLines(UploadFixture& f, int kind, const Strings& lines) {
    f.up.outLines = lines;
    f.up.outLineSent.assign(lines.size(), false);
    f.up.outFileKind = kind;
    f.up.outAnySent = false;
    return f.up.sendOutFileRecords();
}
}  // namespace

TEST(RecordSending, TheWorkedPricesExampleGoesOutAndItsBatchMarkerAlternatesPerCompleteFile) {
    UploadFixture f;
    EXPECT_TRUE(sendLines(f, 4, {"PRC017,\"Room 1, sea view\",350,", "218,\"Room 1, sea view\",350,"}));
    EXPECT_EQ(f.server.sent, (Strings{"4|PRC017|0|Room 1, sea view|350| ", "4|218|Roo0|m 1, sea view|350| "}));
    EXPECT_EQ(f.logTexts(), (Strings{" G 4|PRC017|0|Room 1, sea view|350| ", " G 4|218|Roo0|m 1, sea view|350| "}));
    EXPECT_EQ(f.up.outLineSent, (std::vector<bool>{true, true}));
    EXPECT_TRUE(f.up.outAnySent);
    EXPECT_EQ(f.store.get("Ostrell", "Batch4"), "1");

    EXPECT_TRUE(sendLines(f, 4, {"PRC018,x"}));
    EXPECT_EQ(f.server.sent.back(), "4|PRC018|1|x");
    EXPECT_EQ(f.store.get("Ostrell", "Batch4"), "0");

    // A file given up part-way leaves the marker, so its remaining records go again with the same one.
    f.server.script = {accept("x"), say("BAD")};
    EXPECT_FALSE(sendLines(f, 4, {"PRC019,a", "PRC020,b"}));
    EXPECT_EQ(f.store.get("Ostrell", "Batch4"), "0");

    // Each marker kind has its own key; a stored value other than 0 or 1 goes as read, then becomes 0.
    f.store.set("Ostrell", "Batch7", "5");
    EXPECT_TRUE(sendLines(f, 7, {"RT0001,Double"}));
    EXPECT_EQ(f.server.sent.back(), "7|RT0001|5|Double");
    EXPECT_EQ(f.store.get("Ostrell", "Batch7"), "0");
    EXPECT_TRUE(sendLines(f, 3, {"PER001,x"}));
    EXPECT_EQ(f.store.get("Ostrell", "Batch3"), "1");
    EXPECT_EQ(f.store.get("Ostrell", "Batch4"), "0");

    // Other kinds neither read nor write a batch key.
    const int reads = f.store.reads;
    const size_t writes = f.store.writes.size();
    for (int kind : {1, 2, 5, 6}) EXPECT_TRUE(sendLines(f, kind, {"a,b"}));
    EXPECT_EQ(f.store.reads, reads);
    EXPECT_EQ(f.store.writes.size(), writes);
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(RecordSending, AnUnreadableBatchKeyOrAShortRecordIsReportedAndTheRecordStillGoes) {
    UploadFixture f;
    f.store.set("Ostrell", "Batch3", "one");
    EXPECT_TRUE(sendLines(f, 3, {"PER001,x", "AB"}));
    // The marker stays 0; the short record goes without one.
    EXPECT_EQ(f.server.sent, (Strings{"3|PER001|0|x", "3|AB"}));
    EXPECT_EQ(f.sinks.where(), (Strings{"SendFileOK:10", "SendFileOK:15"}));
    EXPECT_EQ(f.sinks.reports[0].number, platform::err::TypeMismatch);
    EXPECT_EQ(f.store.get("Ostrell", "Batch3"), "1");

    f.store.unreadable.insert("Batch7");
    f.store.failWrites = true;
    EXPECT_TRUE(sendLines(f, 7, {""}));
    EXPECT_EQ(f.server.sent.back(), "7|");
    EXPECT_EQ(f.sinks.where(),
              (Strings{"SendFileOK:10", "SendFileOK:15", "SendFileOK:10", "SendFileOK:15", "SendFileOK:25"}));
}

TEST(RecordSending, FiveFailedAttemptsPerFileNotPerRecordThenTheFileIsGivenUp) {
    UploadFixture f;
    // Record 1: three failed attempts, then accepted. Record 2: two more use up the file's five.
    f.server.script = {say("2|FAILED"), say("BAD - timed out"),       say("bad"),
                       accept("2"),     say("BAD - lost connection"), say("2|failed: dup")};
    EXPECT_FALSE(sendLines(f, 2, {"r1", "r2", "r3"}));
    EXPECT_EQ(f.server.sent, (Strings{"2|r1", "2|r1", "2|r1", "2|r1", "2|r2", "2|r2"}));
    EXPECT_EQ(f.up.outLineSent, (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(f.up.outAnySent);
    EXPECT_EQ(f.logTexts(), (Strings{"2|FAILED", "*F 2|r1", "*R 2|r1",    //
                                     "BAD - timed out", "*R 2|r1",        //
                                     "bad", "*R 2|r1",                    //
                                     " G 2|r1",                           //
                                     "BAD - lost connection", "*R 2|r2",  //
                                     "2|failed: dup", "*F 2|r2", "*T 2|r2"}));
}

TEST(RecordSending, AFirstRecordRefusedFiveTimesIsLoggedEachTimeAndNothingCountsAsSent) {
    UploadFixture f;
    f.server.rule = [](const std::string&) { return say("6|FAILED"); };
    EXPECT_FALSE(sendLines(f, 6, {"a,,b", "c"}));
    const std::string wire = "6|a| |b";
    Strings expected;
    for (int i = 0; i < 4; ++i) expected.insert(expected.end(), {"6|FAILED", "*F " + wire, "*R " + wire});
    expected.insert(expected.end(), {"6|FAILED", "*F " + wire, "*T " + wire});
    EXPECT_EQ(f.logTexts(), expected);
    EXPECT_EQ(f.server.sent.size(), 5u);
    EXPECT_FALSE(f.up.outAnySent);
}

TEST(RecordSending, AnExactBadStopsTheFileAtOnceWithoutLoggingTheReply) {
    UploadFixture f;
    f.server.script = {accept("1"), say("BAD")};
    EXPECT_FALSE(sendLines(f, 1, {"a", "b", "c"}));
    EXPECT_EQ(f.logTexts(), (Strings{" G 1|a", "*B 1|b"}));
    EXPECT_EQ(f.server.sent.size(), 2u);
    EXPECT_EQ(f.up.outLineSent, (std::vector<bool>{true, false, false}));
}

TEST(RecordSending, OnlyTheFilesOwnKindDigitWithSuccessCountsAsAcceptance) {
    UploadFixture f;
    f.server.script = {say("3|SUCCESS"), say("xx 5|Success yy")};
    EXPECT_TRUE(sendLines(f, 5, {"a,0,b"}));
    EXPECT_EQ(f.server.sent, (Strings{"5|a|0000|b", "5|a|0000|b"}));
    EXPECT_EQ(f.logTexts(), (Strings{"3|SUCCESS", "*R 5|a|0000|b", " G 5|a|0000|b"}));
}

TEST(RecordSending, AnUnclosedQuoteSpoilsOnlyItsOwnRecord) {
    UploadFixture f;
    EXPECT_TRUE(sendLines(f, 2, {"\"open,x", "a,b", "c~d,\"e,f\""}));
    EXPECT_EQ(f.server.sent, (Strings{"2|open,x", "2|a|b", "2|c~d|e,f"}));
}
