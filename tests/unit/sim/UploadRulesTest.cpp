#include <gtest/gtest.h>

#include "veltrana-sim/UploadRules.h"

using namespace ostrell::sim;

TEST(SimUploadRules, CountsRecordsPerKindAndAppliesTheFirstMatchingVerdict) {
    UploadRules rules;
    std::string error;
    ASSERT_TRUE(rules.add(UploadVerdict::Refuse, "4:2", error)) << error;
    ASSERT_TRUE(rules.add(UploadVerdict::Refuse, "6:2-3", error)) << error;
    ASSERT_TRUE(rules.add(UploadVerdict::Bad, "1:2+", error)) << error;
    ASSERT_TRUE(rules.add(UploadVerdict::Silent, "*:5", error)) << error;
    rules.addRefuseText("SEA");

    EXPECT_EQ(rules.judge(4, "4|a"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(4, "4|a"), UploadVerdict::Refuse);  // the second kind-4 line, a retry or not
    EXPECT_EQ(rules.judge(4, "4|a"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(6, "6|a"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(6, "6|a"), UploadVerdict::Refuse);
    EXPECT_EQ(rules.judge(6, "6|a"), UploadVerdict::Refuse);
    EXPECT_EQ(rules.judge(6, "6|a"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(6, "6|a"), UploadVerdict::Silent);  // fifth of its kind: silence beats the rest
    EXPECT_EQ(rules.judge(1, "1|a"), UploadVerdict::Accept);
    EXPECT_EQ(rules.judge(1, "1|SEA"), UploadVerdict::Bad);   // "BAD" beats a refusal
    EXPECT_EQ(rules.judge(2, "2|by the SEA"), UploadVerdict::Refuse);
    EXPECT_EQ(rules.judge(2, "2|by the sea"), UploadVerdict::Accept);  // the text is matched exactly
    EXPECT_EQ(rules.received(6), 5u);

    rules.clear();
    EXPECT_EQ(rules.judge(1, "1|SEA"), UploadVerdict::Accept);

    UploadRules all;
    ASSERT_TRUE(all.add(UploadVerdict::Refuse, "7:all", error));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(all.judge(7, "7|x"), UploadVerdict::Refuse);
    EXPECT_EQ(all.judge(3, "3|x"), UploadVerdict::Accept);
}

TEST(SimUploadRules, MalformedRulesAreRefusedWithAReason) {
    UploadRules rules;
    for (const char* rule : {"4", "8:1", "0:1", "4:0", "4:", "4:x", "4:3-2", "44:1", ":1", "4:-1"}) {
        std::string error;
        EXPECT_FALSE(rules.add(UploadVerdict::Refuse, rule, error)) << rule;
        EXPECT_FALSE(error.empty()) << rule;
    }
    EXPECT_EQ(rules.judge(4, "4|x"), UploadVerdict::Accept);
}
