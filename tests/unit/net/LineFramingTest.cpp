#include <gtest/gtest.h>

#include "net/LineFramer.h"
#include "net/ReplyCleanup.h"

using namespace ostrell;

namespace {
std::vector<std::string> feedAll(net::LineFramer& framer, const std::vector<std::string>& chunks,
                                 bool* tooLong = nullptr) {
    std::vector<std::string> lines;
    for (const auto& c : chunks) {
        const auto r = framer.feed(c, [&](const std::string& l) { lines.push_back(l); });
        if (tooLong && r == net::LineFramer::Result::LineTooLong) *tooLong = true;
    }
    return lines;
}
}  // namespace

TEST(LineFraming, ALineSplitByteByByteComesOutWholeAndMergedLinesComeOutApart) {
    net::LineFramer framer(1024);
    const std::string reply = "10|\"1\",\"Smith, J\",\"x\"\r\n";
    std::vector<std::string> bytes;
    for (char c : reply) bytes.emplace_back(1, c);
    EXPECT_EQ(feedAll(framer, bytes), std::vector<std::string>{reply});
    EXPECT_FALSE(framer.hasPartial());

    EXPECT_EQ(feedAll(framer, {"12|OK\r\n10|NONE\r\n11|"}), (std::vector<std::string>{"12|OK\r\n", "10|NONE\r\n"}));
    EXPECT_TRUE(framer.hasPartial());
    EXPECT_EQ(framer.takePartial(), "11|");
    EXPECT_FALSE(framer.hasPartial());
}

TEST(LineFraming, ALineOfExactlyTheLimitPassesOneByteMoreIsRefusedAndNothingIsHeld) {
    const size_t limit = 1048576;
    net::LineFramer framer(limit);
    bool tooLong = false;
    auto lines = feedAll(framer, {std::string(limit - 5, 'a'), std::string(5, 'b') + "\n"}, &tooLong);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), limit + 1);
    EXPECT_FALSE(tooLong);

    lines = feedAll(framer, {std::string(limit, 'c'), "d"}, &tooLong);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(tooLong);
    EXPECT_FALSE(framer.hasPartial()) << "the over-long line is dropped, not kept";

    // A flood in one big chunk is refused as soon as it passes the limit, without holding it.
    tooLong = false;
    lines = feedAll(framer, {std::string(3 * limit, 'e')}, &tooLong);
    EXPECT_TRUE(tooLong);
    EXPECT_FALSE(framer.hasPartial());
}

TEST(ReplyCleanup, LineEndsGoShortTextsDoNotCountAndBlanksAreTrimmed) {
    auto c = net::cleanLine("OK\r\n", false);
    EXPECT_FALSE(c.counts);
    EXPECT_EQ(c.text, "OK");
    c = net::cleanLine("   \r\n", false);
    EXPECT_TRUE(c.counts) << "three blanks count, counted before trimming";
    EXPECT_EQ(c.text, "");
    c = net::cleanLine("  12|OK \r\r\n", false);
    EXPECT_TRUE(c.counts);
    EXPECT_EQ(c.text, "12|OK");
    c = net::cleanLine("a\rb\n", false);
    EXPECT_FALSE(c.counts) << "stray line ends go before counting";
    c = net::cleanLine("a\rbc\n", false);
    EXPECT_EQ(c.text, "abc");
}

TEST(ReplyCleanup, TheGreetingRuleLowerCasesAndDeletesTheWordOnlyWhenAskedFor) {
    EXPECT_EQ(net::cleanLine("Welcome back\r\n", true).text, "back");
    EXPECT_FALSE(net::cleanLine("WELCOME\r\n", true).counts);
    EXPECT_EQ(net::cleanLine("10|\"1\",\"WelCome Inn\",\"ABC\"\r\n", true).text, "10|\"1\",\" inn\",\"abc\"");
    // Deleted in one pass: what closes up around a deleted word stays.
    EXPECT_EQ(net::cleanLine("welwelcomecome!\r\n", true).text, "welcome!");
    // After the logon reply the rule is off: a record keeps every letter.
    EXPECT_EQ(net::cleanLine("10|\"1\",\"WelCome Inn\",\"ABC\"\r\n", false).text, "10|\"1\",\"WelCome Inn\",\"ABC\"");
    // Bytes outside ASCII are not touched by the lower-casing.
    EXPECT_EQ(net::cleanLine("Welcome \xC4\xD6 X\r\n", true).text, "\xC4\xD6 x");
}
