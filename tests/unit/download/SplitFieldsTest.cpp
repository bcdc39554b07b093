#include <gtest/gtest.h>

#include "download/SplitFields.h"

using ostrell::download::splitFields;
using Fields = std::vector<std::string>;

TEST(splitFields, GivesFieldsOneToKWithATrailingSeparatorClosingTheLastField) {
    struct Case {
        std::string text;
        Fields fields;  // 1..k
    };
    const Case cases[] = {
        {"a|b|c", {"a", "b", "c"}},
        {"a|b|c|", {"a", "b", "c"}},
        {"a||c", {"a", "", "c"}},
        {"", {""}},
        {"|", {""}},
        {"a|b||", {"a", "b", ""}},
        {"||", {"", ""}},
        {"|a", {"", "a"}},
        {"abc", {"abc"}},
        {" a | b ", {" a ", " b "}},
        {std::string("\x01|\xff\xfe|\t", 6), {"\x01", "\xff\xfe", "\t"}},
    };
    for (const auto& c : cases) {
        const Fields got = splitFields(c.text, "|");
        ASSERT_FALSE(got.empty()) << c.text;
        EXPECT_EQ(got[0], "") << "element 0 carries no field: " << c.text;
        EXPECT_EQ(Fields(got.begin() + 1, got.end()), c.fields) << c.text;
    }
}

TEST(splitFields, HasNoSixteenBitLimitOnFieldCountOrFieldLength) {
    // 40,000 fields is past the 32,766 a 16-bit count allows; a 70,000-character field past 32,767.
    std::string many;
    for (int i = 0; i < 40000; ++i) many += std::to_string(i) + "|";
    const Fields got = splitFields(many, "|");
    ASSERT_EQ(got.size(), 40001u);
    EXPECT_EQ(got[1], "0");
    EXPECT_EQ(got[40000], "39999");

    const std::string longField(70000, 'x');
    const Fields two = splitFields(longField + "|y", "|");
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[1], longField);
    EXPECT_EQ(two[2], "y");
}

TEST(splitFields, LeavesTheCallersTextAndSeparatorAloneAndTakesOtherSeparators) {
    const std::string text = "a, b";
    const std::string sep = ", ";
    EXPECT_EQ(splitFields(text, sep), (Fields{"", "a", "b"}));
    EXPECT_EQ(text, "a, b");
    EXPECT_EQ(splitFields("a, b, ", sep), (Fields{"", "a", "b"}));
    // An empty separator cannot split: the whole text is the one field (no endless search).
    EXPECT_EQ(splitFields("a|b", ""), (Fields{"", "a|b"}));
}
