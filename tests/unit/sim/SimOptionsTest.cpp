#include <gtest/gtest.h>

#include "veltrana-sim/SimOptions.h"

using namespace ostrell::sim;

TEST(SimOptions, StartOptionsAreReadAndLiveOnesKeptInOrder) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parseOptions({"--port", "0", "--port-file", "/tmp/p", "--ledger=/tmp/l", "--ledger-quiet",
                              "--bad-bookings", " 12 :3", "--bookings", "a:b:5", "--merge", "--refuse", "4:2",
                              "--banner", "Welcome to Veltrana", "--exit-after-idle-ms", "5000", "--data", "/d"},
                             o, error))
        << error;
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.portFile, "/tmp/p");
    EXPECT_EQ(o.ledgerPath, "/tmp/l");
    EXPECT_TRUE(o.ledgerQuiet);
    EXPECT_TRUE(o.ledgerSync);
    EXPECT_EQ(o.exitAfterIdleMs, 5000);
    EXPECT_EQ(o.dataDirs, std::vector<std::string>{"/d"});
    ASSERT_EQ(o.live.size(), 5u);
    EXPECT_EQ(o.live[0], (std::pair<std::string, std::string>{"bad-bookings", " 12 :3"}));
    EXPECT_EQ(o.live[2], (std::pair<std::string, std::string>{"merge", ""}));

    // Applied in that order: three bad bookings for " 12 " first, five good ones for "a:b".
    DataStore store;
    UploadRules rules;
    FaultSwitches faults;
    for (const auto& [name, value] : o.live) ASSERT_TRUE(applyLive(name, value, store, rules, faults, error)) << error;
    EXPECT_EQ(store.size(RecordKind::Booking), 8u);
    EXPECT_FALSE(store.record(RecordKind::Booking, *store.next(RecordKind::Booking, " 12 ")).number);
    EXPECT_TRUE(store.next(RecordKind::Booking, "a:b"));
    EXPECT_TRUE(faults.merge);
    EXPECT_EQ(faults.banner, "Welcome to Veltrana");
    EXPECT_EQ(rules.judge(4, "4|x"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(4, "4|x"), UploadVerdict::Refuse);

    EXPECT_TRUE(applyLive("clear-faults", "", store, rules, faults, error));
    EXPECT_FALSE(faults.merge);
}

TEST(SimOptions, MistakesStopTheStartWithAMessage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--port", "70000"}, {"--port"}, {"--bookings", "12"}, {"--bookings", "12:x"}, {"--refuse", "9:1"},
             {"--delay-ms", "soon"}, {"--wat"}, {"stray"}, {"--refuse-text", ""}, {"--drop-mode", "later"}}) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parseOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    SimOptions help;
    std::string error;
    ASSERT_TRUE(parseOptions({"--help"}, help, error));
    EXPECT_TRUE(help.help);
    EXPECT_NE(usageText().find("--endless-line"), std::string::npos);
}
