#include <gtest/gtest.h>

#include "settings/NumberConversion.h"
#include "unit/Fixture.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell;
using namespace ostrell::settings;

namespace {
// The whole number a text converts to, or the error number of its failure.
std::string converted(const std::string& text, bool small = false) {
    try {
        return std::to_string(small ? toSmallWholeNumber(text) : toWholeNumber(text));
    } catch (const platform::PlatformError& e) {
        return "error " + std::to_string(e.number());
    }
}
}  // namespace

// Numbers are read as the desktop reads them: a decimal point whatever the locale says, halves to the even
// neighbour. A text is numeric exactly when it does not fail with a type mismatch (13). "text=result".
TEST(SettingsConversion, ReadsNumbersAsTheDesktopDoesInAnyLocale) {
    // clang-format off
    const std::string cases[] = {"15.5=16", "14.5=14", "-2.5=-2", "-3.5=-4", "15.49=15", " \t15  =15", "+7=7", ".5=0",
        "1E3=1000", "2147483647=2147483647", "-2147483648=-2147483648", "2147483647.5=error 6", "-2147483649=error 6",
        "1e300=error 6", "=error 13", " =error 13", "15 s=error 13", "1,5=error 13", "--1=error 13", "1e=error 13",
        "+=error 13", ".=error 13", "0x10=error 13", "1 2=error 13"};
    // clang-format on
    for (const char* localeName : {"C", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        std::optional<testsupport::GeneratedLocale> locale;
        if (std::string(localeName) != "C") locale.emplace(localeName);
        ASSERT_EQ(testsupport::GeneratedLocale::hasDecimalComma(), locale.has_value()) << localeName;
        for (const auto& c : cases) {
            const std::string text = c.substr(0, c.find('=')), whole = c.substr(c.find('=') + 1);
            EXPECT_EQ(converted(text), whole) << "'" << text << "' in " << localeName;
            EXPECT_EQ(isNumeric(text), whole != "error 13") << "'" << text << "'";
        }
    }
    EXPECT_EQ(converted("32767", true) + converted("32768", true) + converted("-32769", true), "32767error 6error 6");
}

// A value that is not a number is reported and leaves its variable as it was while the other reads run;
// without an address the default server is used whatever the port keys hold.
TEST(SettingsConversion, ABadNumberKeepsTheOldValueAndTheRestIsRead) {
    unittest::Fixture f;
    errors::Trap trap{f.reporter, "tmrParams_Timer"};
    // clang-format off
    for (const auto& [key, value] : {std::pair{"TimeOut", "soon"}, {"Loop", "15.5"}, {"LoNumber4", "  "},
            {"UpLoad", "importer --now"}, {"IPport", "7000"}, {"IPLocalport", "5000"}})
        f.store.set("Ostrell", key, value);
    // clang-format on
    f.params.timeoutSecs = 42;
    ConnectionSettings c, d;
    readParameters(f.settings, f.params, trap);
    readConnectionSettings(f.settings, c, trap);
    f.store.set("Ostrell", "IPadd", "127.0.0.2");
    f.store.set("Ostrell", "IPport", "x");
    readConnectionSettings(f.settings, d, trap);
    const Parameters& p = f.params;
    EXPECT_EQ(std::to_string(p.timeoutSecs) + " " + std::to_string(p.loopCount) + " " + p.uploadCommand,
              "42 16 importer --now");
    EXPECT_TRUE(p.hasLoNumber) << "an entry of blanks counts";
    EXPECT_EQ(c.serverIp + ":" + std::to_string(c.serverPort) + " " + std::to_string(c.localPort), "127.0.0.1:6667 0");
    EXPECT_EQ(d.serverIp + ":" + std::to_string(d.serverPort) + " " + std::to_string(d.localPort), "127.0.0.2:0 5000");
    EXPECT_EQ(f.sinks.reports.size(), 2u) << "the time-out and the port that are not numbers";
}
