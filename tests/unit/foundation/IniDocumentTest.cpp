#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/IniDocument.h"

using ostrell::platform::IniDocument;

// What the host wrote reaches the agent exactly: the bytes after the first '=' up to the line end.
TEST(IniDocument, ReadsRawValuesIgnoringTheCaseOfNames) {
    const std::string nul("A=x\0y\n", 6);
    const std::string text =
        "top=before any section\n; c=comment\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\n"
        "EndFlag=Y \r\n[ostrell]\nDataDir=/srv/brannick/d;x/\nUpLoad= /opt/imp,--quiet, \"a b\" \n"
        "#TimeOut=1\n  TimeOut  =15.5=x\nnot a key line\n[Binary \xff]\n" +
        nul + "Long=" + std::string(100000, 'z') + "\n[Ostrell]\nDataDir=second\nLast=CR at end\r";
    const IniDocument d(text);
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Application", "DirName", "C:\\Brannick\\App\\"},
        {"APPLICATION", "endflag", "Y "},
        {"Ostrell", "DataDir", "/srv/brannick/d;x/"},  // first section of the name wins
        {"Ostrell", "UpLoad", " /opt/imp,--quiet, \"a b\" "},
        {"Ostrell", "TimeOut", "15.5=x"},    // not the commented-out one
        {"Ostrell", "Last", "CR at end\r"},  // a CR is a line end only before LF
        {"Binary \xff", "A", std::string("x\0y", 3)},
        {"Binary \xff", "Long", std::string(100000, 'z')},
        {"Ostrell", "c", std::nullopt},
        {"Ostrell", "not a key line", std::nullopt},
        {"", "top", std::nullopt},
        {"VRX1", "DBase", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(d.value(c.section, c.key), c.value) << c.section << "/" << c.key;
}

// A write touches one value, or adds one line (and a section line), and keeps every other byte.
TEST(IniDocument, AWriteChangesOnlyItsKeyLine) {
    const struct {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        std::string after;
    } cases[] = {
        {"replaced, spelling and line end kept", "; c\r\n[Ostrell]\r\n lasttry = old\r\nX=1\r\n", "OSTRELL", "LastTry",
         "; c\r\n[Ostrell]\r\n lasttry =v\r\nX=1\r\n"},
        {"added after the section's last line, blank lines kept", "[Ostrell]\nA=1\n; note\n\n[Version]\nB=2\n",
         "Ostrell", "Last", "[Ostrell]\nA=1\n; note\nLast=v\n\n[Version]\nB=2\n"},
        {"added to an empty section", "[Ostrell]\n\n[Version]\n", "Ostrell", "Last",
         "[Ostrell]\nLast=v\n\n[Version]\n"},
        {"section added at the end, the last line ended first", "[Version]\r\nB=2", "Ostrell", "Last",
         "[Version]\r\nB=2\r\n[Ostrell]\r\nLast=v\r\n"},
        {"empty file", "", "Ostrell", "Last", "[Ostrell]\nLast=v\n"},
        {"into the first of two sections", "[Ostrell]\nA=1\n[X]\n[Ostrell]\nB=2\n", "Ostrell", "Last",
         "[Ostrell]\nA=1\nLast=v\n[X]\n[Ostrell]\nB=2\n"},
        {"garbage kept", "\x01\x02 not ini \xff\n", "Ostrell", "Last", "\x01\x02 not ini \xff\n[Ostrell]\nLast=v\n"},
    };
    for (const auto& c : cases) {
        IniDocument d(c.before);
        d.set(c.section, c.key, "v");
        EXPECT_EQ(d.text(), c.after) << c.name;
        EXPECT_EQ(d.value(c.section, c.key), "v") << c.name;
    }
    IniDocument d("[Ostrell]\n");
    EXPECT_THROW(d.set("Ostrell", "DataDir", "a\nEndFlag=Y"), std::invalid_argument);
    EXPECT_EQ(d.text(), "[Ostrell]\n");
}
