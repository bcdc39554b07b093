#include <gtest/gtest.h>

#include "veltrana-sim/FaultSwitches.h"
#include "veltrana-sim/ReplyShaper.h"

using namespace ostrell::sim;

namespace {
std::string joined(const std::vector<Piece>& pieces) {
    std::string all;
    for (const auto& p : pieces) all += p.bytes;
    return all;
}
FaultSwitches with(std::initializer_list<std::pair<const char*, const char*>> settings) {
    FaultSwitches f;
    for (auto [name, value] : settings) {
        std::string error;
        EXPECT_TRUE(applyFault(f, name, value, error)) << name << ": " << error;
    }
    return f;
}
}  // namespace

TEST(SimFaults, EachLineMeetsTheFateItsNumberCallsFor) {
    const FaultSwitches none;
    const LineFate plain = lineFate(none, 1, 1);
    EXPECT_FALSE(plain.dropBeforeProcessing || plain.dropAfterProcessing || plain.ignore || plain.delayed || plain.endless);

    const auto drop = with({{"drop-at", "3"}});
    EXPECT_FALSE(lineFate(drop, 2, 2).dropBeforeProcessing);
    EXPECT_TRUE(lineFate(drop, 3, 9).dropBeforeProcessing);   // per connection: every connection's 3rd line
    EXPECT_FALSE(lineFate(drop, 4, 4).dropBeforeProcessing);

    const auto runDrop = with({{"drop-at-run", "5"}, {"drop-mode", "after"}});
    EXPECT_FALSE(lineFate(runDrop, 5, 4).dropAfterProcessing);
    EXPECT_TRUE(lineFate(runDrop, 1, 5).dropAfterProcessing);  // the whole run's 5th line, carried out first
    EXPECT_FALSE(lineFate(runDrop, 1, 5).dropBeforeProcessing);

    const auto silent = with({{"no-reply-after", "2"}});
    EXPECT_FALSE(lineFate(silent, 2, 2).ignore);
    EXPECT_TRUE(lineFate(silent, 3, 3).ignore);

    const auto delayOne = with({{"delay-ms", "500"}, {"delay-line", "2"}, {"endless-line", "100"}, {"endless-at", "4"}});
    EXPECT_FALSE(lineFate(delayOne, 1, 1).delayed);
    EXPECT_TRUE(lineFate(delayOne, 2, 2).delayed);
    EXPECT_FALSE(lineFate(delayOne, 3, 3).endless);
    EXPECT_TRUE(lineFate(delayOne, 4, 4).endless);
    EXPECT_TRUE(lineFate(with({{"delay-ms", "1"}}), 7, 7).delayed);  // no line given: every reply
}

TEST(SimFaults, SwitchesAreSetAndClearedByNameAndBadValuesAreRefused) {
    FaultSwitches f;
    std::string error;
    EXPECT_TRUE(applyFault(f, "banner", "Welcome to Veltrana", error));
    EXPECT_TRUE(f.hasBanner);
    EXPECT_TRUE(applyFault(f, "no-crlf", "", error));
    EXPECT_EQ(f.eol, FaultSwitches::Eol::Lf);
    EXPECT_TRUE(applyFault(f, "no-eol", "1", error));
    EXPECT_EQ(f.eol, FaultSwitches::Eol::None);
    EXPECT_TRUE(applyFault(f, "no-crlf", "0", error));  // another ending is on: left alone
    EXPECT_EQ(f.eol, FaultSwitches::Eol::None);
    EXPECT_TRUE(applyFault(f, "no-eol", "0", error));
    EXPECT_EQ(f.eol, FaultSwitches::Eol::CrLf);
    EXPECT_TRUE(applyFault(f, "garbage-line", "", error));
    EXPECT_EQ(f.garbage, FaultSwitches::Garbage::Line);
    EXPECT_TRUE(applyFault(f, "no-banner", "", error));
    EXPECT_FALSE(f.hasBanner);

    for (auto [name, value] : {std::pair{"delay-ms", "-1"}, {"delay-ms", "x"}, {"split", ""}, {"merge", "maybe"},
                               {"drop-mode", "sideways"}, {"frobnicate", "1"}}) {
        error.clear();
        EXPECT_FALSE(applyFault(f, name, value, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_TRUE(isFaultName("endless-line"));
    EXPECT_TRUE(isFaultFlag("merge"));
    EXPECT_FALSE(isFaultFlag("split"));
}

TEST(SimFaults, RepliesAreShapedIntoTheWritesTheSwitchesAskFor) {
    ReplyShaper shaper(7);
    const LineFate normal;

    const auto plain = shaper.reply(FaultSwitches{}, normal, "10|NONE");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].bytes, "10|NONE\r\n");
    EXPECT_EQ(joined(shaper.reply(with({{"no-crlf", ""}}), normal, "12|OK")), "12|OK\n");
    EXPECT_EQ(joined(shaper.reply(with({{"no-eol", ""}}), normal, "12|OK")), "12|OK");

    // Split: pieces of N bytes, the first after the delay, the others after the split pause.
    LineFate delayed;
    delayed.delayed = true;
    const auto split = shaper.reply(with({{"split", "3"}, {"split-pause-ms", "40"}, {"delay-ms", "900"}}), delayed, "Logon success");
    ASSERT_EQ(split.size(), 5u);
    EXPECT_EQ(split[0].bytes, "Log");
    EXPECT_EQ(split[0].pauseBeforeMs, 900);
    EXPECT_EQ(split[4].bytes, "s\r\n");
    EXPECT_EQ(split[4].pauseBeforeMs, 40);
    EXPECT_EQ(joined(split), "Logon success\r\n");

    // Merge: the reply and an extra line leave in one write.
    const auto merged = shaper.reply(with({{"merge", ""}}), normal, "4|SUCCESS");
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].bytes, "4|SUCCESS\r\n4|SUCCESS\r\n");
    EXPECT_EQ(joined(shaper.reply(with({{"merge", ""}, {"merge-text", "10|NONE"}}), normal, "4|SUCCESS")),
              "4|SUCCESS\r\n10|NONE\r\n");

    // Garbage: random bytes without line ends in front of the reply, or as a line of their own.
    const std::string prefixed = joined(shaper.reply(with({{"garbage", ""}, {"garbage-bytes", "64"}}), normal, "12|OK"));
    ASSERT_EQ(prefixed.size(), 64u + 7u);
    EXPECT_EQ(prefixed.substr(64), "12|OK\r\n");
    EXPECT_EQ(prefixed.substr(0, 64).find_first_of("\r\n"), std::string::npos);
    const std::string line = joined(shaper.reply(with({{"garbage-line", ""}, {"garbage-bytes", "10"}}), normal, "12|OK"));
    EXPECT_EQ(line.size(), 10u + 2u + 7u);
    EXPECT_EQ(line.substr(10), "\r\n12|OK\r\n");

    // Endless: a single streamed piece in place of the reply.
    LineFate endless;
    endless.endless = true;
    const auto stream = shaper.reply(with({{"endless-line", "52428800"}}), endless, "10|NONE");
    ASSERT_EQ(stream.size(), 1u);
    EXPECT_EQ(stream[0].endlessBytes, 52428800u);
    EXPECT_TRUE(stream[0].bytes.empty());

    EXPECT_TRUE(shaper.banner(FaultSwitches{}).empty());
    EXPECT_EQ(joined(shaper.banner(with({{"banner", "Welcome to Veltrana"}}))), "Welcome to Veltrana\r\n");
}

TEST(SimFaults, TheSameSeedGivesTheSameGarbage) {
    const auto f = with({{"garbage", ""}});
    ReplyShaper a(42), b(42), c(43);
    const auto ga = joined(a.reply(f, LineFate{}, "x"));
    EXPECT_EQ(ga, joined(b.reply(f, LineFate{}, "x")));
    EXPECT_NE(ga, joined(c.reply(f, LineFate{}, "x")));
}
