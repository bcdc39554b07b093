#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/IniDocument.h"

using ostrell::platform::IniDocument;

// What the host wrote reaches the agent exactly: the bytes after the first '=' up to the line end; names
// match ignoring case, the first section of a name wins, comments and other lines are no keys.
TEST(IniDocument, ReadsRawValuesIgnoringTheCaseOfNames) {
    const std::string text =
        "top=before any section\n; c=comment\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\n"
        "EndFlag=Y \r\n[ostrell]\nDataDir=/srv/brannick/d;x/\nUpLoad= /opt/imp,--quiet, \"a b\" \n"
        "#TimeOut=1\n  TimeOut  =15.5=x\nnot a key line\n[Binary \xff]\n" +
        std::string("A=x\0y\n", 6) + "Long=" + std::string(100000, 'z') +
        "\n[Ostrell]\nDataDir=second\nLast=CR at end\r";
    const IniDocument d(text);
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        // clang-format off
        {"Application", "DirName", "C:\\Brannick\\App\\"}, {"APPLICATION", "endflag", "Y "},
        {"Ostrell", "DataDir", "/srv/brannick/d;x/"}, {"Ostrell", "UpLoad", " /opt/imp,--quiet, \"a b\" "},
        {"Ostrell", "TimeOut", "15.5=x"}, {"Ostrell", "Last", "CR at end\r"},
        {"Binary \xff", "A", std::string("x\0y", 3)}, {"Binary \xff", "Long", std::string(100000, 'z')},
        {"Ostrell", "c", std::nullopt}, {"Ostrell", "not a key line", std::nullopt}, {"", "top", std::nullopt}};
    // clang-format on
    for (const auto& [section, key, value] : cases) EXPECT_EQ(d.value(section, key), value) << section << "/" << key;
}

// A write touches one value, or adds one line (and a section line), and keeps every other byte.
TEST(IniDocument, AWriteChangesOnlyItsKeyLine) {
    const std::pair<std::string, std::string> cases[] = {
        // before, after setting Ostrell/Last=v
        // clang-format off
        {"; c\r\n[Ostrell]\r\n last = old\r\nX=1\r\n", "; c\r\n[Ostrell]\r\n last =v\r\nX=1\r\n"},
        {"[Ostrell]\nA=1\n; note\n\n[Version]\nB=2\n", "[Ostrell]\nA=1\n; note\nLast=v\n\n[Version]\nB=2\n"},
        {"[OSTRELL]\n\n[Version]\n", "[OSTRELL]\nLast=v\n\n[Version]\n"},
        {"[Version]\r\nB=2", "[Version]\r\nB=2\r\n[Ostrell]\r\nLast=v\r\n"},
        {"", "[Ostrell]\nLast=v\n"},
        {"[Ostrell]\nA=1\n[X]\n[Ostrell]\nB=2\n", "[Ostrell]\nA=1\nLast=v\n[X]\n[Ostrell]\nB=2\n"},
        {"\x01\x02 not ini \xff\n", "\x01\x02 not ini \xff\n[Ostrell]\nLast=v\n"}};
    // clang-format on
    for (const auto& [before, after] : cases) {
        IniDocument d(before);
        d.set("Ostrell", "Last", "v");
        EXPECT_EQ(d.text(), after) << before;
    }
    IniDocument d("[Ostrell]\n");
    EXPECT_THROW(d.set("Ostrell", "DataDir", "a\nEndFlag=Y"), std::invalid_argument);
    EXPECT_EQ(d.text(), "[Ostrell]\n");
}
