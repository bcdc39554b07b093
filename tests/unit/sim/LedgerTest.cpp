#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "SimTempFile.h"
#include "veltrana-sim/Ledger.h"
#include "veltrana-sim/LedgerFormat.h"

using namespace ostrell::sim;

TEST(SimLedger, EveryByteSurvivesTheRoundTripAndALineStaysOneLine) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string line = formatLedgerLine("ACK12", {"1", all, "a\\xZZ", ""});
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    const auto entry = parseLedgerLine(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->event, "ACK12");
    ASSERT_EQ(entry->fields.size(), 4u);
    EXPECT_EQ(entry->fields[1], all);
    EXPECT_EQ(entry->fields[2], "a\\xZZ");
    EXPECT_EQ(entry->fields[3], "");
    // High bytes are written as they are, so a record can be compared with an incoming file by eye.
    EXPECT_NE(line.find("\xE9"), std::string::npos);
    EXPECT_FALSE(parseLedgerLine("RECV\t1\tbad\\q"));
    EXPECT_FALSE(parseLedgerLine("RECV\t1\tcut\\x4"));
}

TEST(SimLedger, AppendsWholeLinesKeepsEarlierOnesAndLeavesTracesOutWhenQuiet) {
    SimTempFile file("ledger");
    {
        std::ofstream(file.path) << "OLD\tline\n";
        Ledger ledger;
        std::string error;
        ASSERT_TRUE(ledger.open(file.path, true, error)) << error;
        ledger.trace("RECV", {"1", "10|7"});
        ledger.outcome("ACK12", {"1", "5", "7", "\"a\",\"b\""});
        ledger.setQuiet(true);
        ledger.trace("RECV", {"1", "12|5"});
        ledger.outcome("ACCEPT", {"1", "4", "4|x"});
        EXPECT_FALSE(ledger.failed());
    }
    const auto entries = readLedgerFile(file.path);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].event, "OLD");
    EXPECT_EQ(entries[1].event, "RECV");
    EXPECT_EQ(entries[2].fields, (std::vector<std::string>{"1", "5", "7", "\"a\",\"b\""}));
    EXPECT_EQ(entries[3].event, "ACCEPT");

    // A line still being written (no LF yet) is not read as an entry.
    std::ofstream(file.path, std::ios::app) << "ACK13\t1\t9";
    EXPECT_EQ(readLedgerFile(file.path).size(), 4u);
}

TEST(SimLedger, AFailedWriteIsKeptAndReported) {
    Ledger ledger;
    std::string error;
    ASSERT_TRUE(ledger.open("/dev/full", true, error)) << error;
    ledger.outcome("ACK12", {"1", "2"});
    EXPECT_TRUE(ledger.failed());
    EXPECT_FALSE(ledger.error().empty());

    Ledger missing;
    EXPECT_FALSE(missing.open("/nonexistent-dir/ledger", true, error));
    EXPECT_NE(error.find("/nonexistent-dir/ledger"), std::string::npos);

    Ledger none;  // no path: nothing written, nothing failed
    none.outcome("ACK12", {"1"});
    EXPECT_FALSE(none.failed());
}
