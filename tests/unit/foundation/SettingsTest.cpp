#include <gtest/gtest.h>

#include <array>

#include "platform/IniDocument.h"
#include "settings/NumberConversion.h"
#include "unit/Fixture.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell;
using namespace ostrell::settings;

// Numbers are read as the desktop reads them: a decimal point whatever the locale says, halves to the even
// neighbour. A text is numeric exactly when it does not fail with a type mismatch (13). "text=result".
TEST(SettingsConversion, ReadsNumbersAsTheDesktopDoesInAnyLocale) {
    const auto converted = [](const std::string& text) {  // the whole number, or the error number
        try {
            return std::to_string(toWholeNumber(text));
        } catch (const platform::PlatformError& e) {
            return "error " + std::to_string(e.number());
        }
    };
    const std::string table =  // "text=result;"
        "15.5=16;14.5=14;-2.5=-2;-3.5=-4;15.49=15; \t15  =15;+7=7;.5=0;1E3=1000;2147483647=2147483647;"
        "-2147483648=-2147483648;2147483647.5=error 6;-2147483649=error 6;1e300=error 6;=error 13; =error 13;"
        "15 s=error 13;1,5=error 13;--1=error 13;1e=error 13;+=error 13;.=error 13;0x10=error 13;1 2=error 13;";
    std::vector<std::string> cases;
    for (size_t at = 0, end; (end = table.find(';', at)) != std::string::npos; at = end + 1)
        cases.push_back(table.substr(at, end - at));
    ASSERT_EQ(cases.size(), 24U);
    for (const char* localeName : {"C", "de_DE.UTF-8"}) {
        std::optional<testsupport::GeneratedLocale> locale;
        if (std::string(localeName) != "C") locale.emplace(localeName);
        ASSERT_EQ(testsupport::GeneratedLocale::hasDecimalComma(), locale.has_value()) << localeName;
        for (const auto& c : cases) {
            const std::string text = c.substr(0, c.find('=')), whole = c.substr(c.find('=') + 1);
            EXPECT_EQ(converted(text), whole) << "'" << text << "' in " << localeName;
            EXPECT_EQ(isNumeric(text), whole != "error 13") << "'" << text << "'";
        }
    }
}

// A value is every byte after the first '=' up to the line end, names match ignoring case, the first section
// wins; a write changes one value, or adds one line (and a section line), and keeps every other byte.
TEST(IniDocument, ReadsRawValuesAndAWriteChangesOnlyItsKeyLine) {
    const platform::IniDocument d(
        "top=before any section\n[Application]\r\nDirName=C:\\Brannick\\App\\\r\n"
        "EndFlag=Y \r\n[ostrell]\n; c=comment\nDataDir=/srv/brannick/d;x/\nUpLoad= /opt/imp,--quiet, \"a b\" \n"
        "#TimeOut=1\n  TimeOut  =15.5=x\nnot a key line\n[Binary \xff]\n" +
        std::string("A=x\0y\n", 6) + "[Ostrell]\nDataDir=second\nLast=CR at end\r");
    const auto cases = std::to_array<std::tuple<const char*, const char*, std::optional<std::string>>>(
        {{"Application", "DirName", R"(C:\Brannick\App\)"},
         {"APPLICATION", "endflag", "Y "},
         {"Ostrell", "DataDir", "/srv/brannick/d;x/"},
         {"Ostrell", "UpLoad", " /opt/imp,--quiet, \"a b\" "},
         {"Ostrell", "TimeOut", "15.5=x"},
         {"Ostrell", "Last", "CR at end\r"},
         {"Binary \xff", "A", std::string("x\0y", 3)},
         {"Ostrell", "; c", std::nullopt},
         {"Ostrell", "not a key line", std::nullopt},
         {"", "top", std::nullopt}});
    for (const auto& [section, key, value] : cases) EXPECT_EQ(d.value(section, key), value) << section << "/" << key;
    const auto writes = std::to_array<std::pair<std::string, std::string>>(
        {// before, after setting Ostrell/Last=v
         {"; c\r\n[Ostrell]\r\n last = old\r\nX=1\r\n", "; c\r\n[Ostrell]\r\n last =v\r\nX=1\r\n"},
         {"[Ostrell]\nA=1\n; note\n\n[Version]\nB=2\n", "[Ostrell]\nA=1\n; note\nLast=v\n\n[Version]\nB=2\n"},
         {"[OSTRELL]\n\n[Version]\n", "[OSTRELL]\nLast=v\n\n[Version]\n"},
         {"", "[Ostrell]\nLast=v\n"},
         {"[Version]\r\nB=2", "[Version]\r\nB=2\r\n[Ostrell]\r\nLast=v\r\n"},
         {"[Ostrell]\nA=1\n[X]\n[Ostrell]\nB=2\n", "[Ostrell]\nA=1\nLast=v\n[X]\n[Ostrell]\nB=2\n"},
         {"\x01\x02 not ini \xff\n", "\x01\x02 not ini \xff\n[Ostrell]\nLast=v\n"},
         {"\xEF\xBB\xBF[ostrell]\nLast=old\n", "\xEF\xBB\xBF[ostrell]\nLast=v\n"},
         {"\xEF\xBB\xBF", "\xEF\xBB\xBF[Ostrell]\nLast=v\n"}});
    for (const auto& [before, after] : writes) {
        platform::IniDocument w(before);
        w.set("Ostrell", "Last", "v");
        EXPECT_EQ(w.text(), after) << before;
    }
    platform::IniDocument refused("[Ostrell]\n");
    EXPECT_THROW(refused.set("Ostrell", "DataDir", "a\nEndFlag=Y"), std::invalid_argument);
    EXPECT_EQ(refused.text(), "[Ostrell]\n");
}

// While the host rewrites the file, the agent's own keys wait (and reads see them) and the owner's Save is
// refused; the next save that finds the file quiet writes everything that waited.
TEST(Settings, TheAgentsOwnKeysWaitWhileTheHostRewritesTheFile) {
    fake::FakeSettingsStore store;
    Settings settings(store);
    store.hostRewriting = true;
    settings.save(keys::lastTry(), "t1");
    settings.save(keys::batch(3), "1");
    EXPECT_THROW(settings.saveNow(keys::dataDir(), "/srv/"), platform::HostRewriting);
    EXPECT_EQ(settings.text(keys::batch(3)) + " " + settings.text(keys::dataDir()), "1 ");
    EXPECT_TRUE(store.writes.empty());
    store.hostRewriting = false;
    settings.save(keys::lastTry(), "t2");
    EXPECT_EQ(store.writes, (std::vector<std::string>{"Ostrell/Batch3=1", "Ostrell/LastTry=t2"}));
}
