#include <gtest/gtest.h>

#include "platform/PlatformError.h"
#include "settings/NumberConversion.h"
#include "unit/GeneratedLocale.h"

using namespace ostrell::settings;
using ostrell::platform::PlatformError;

namespace {
int32_t errorNumberOf(const std::string& text) {
    try {
        toWholeNumber(text);
    } catch (const PlatformError& e) {
        return e.number();
    }
    return 0;
}
}  // namespace

TEST(WholeNumberConversion, RoundsHalvesToEvenAndAllowsBlanksSignsAndExponents) {
    EXPECT_EQ(toWholeNumber("15.5"), 16);
    EXPECT_EQ(toWholeNumber("14.5"), 14);
    EXPECT_EQ(toWholeNumber("2.5"), 2);
    EXPECT_EQ(toWholeNumber("-2.5"), -2);
    EXPECT_EQ(toWholeNumber("-3.5"), -4);
    EXPECT_EQ(toWholeNumber("15.49"), 15);
    EXPECT_EQ(toWholeNumber("  15  "), 15);
    EXPECT_EQ(toWholeNumber("+7"), 7);
    EXPECT_EQ(toWholeNumber(".5"), 0);
    EXPECT_EQ(toWholeNumber("1e3"), 1000);
    EXPECT_EQ(toWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(toWholeNumber("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(toSmallWholeNumber("32767"), 32767);
}

TEST(WholeNumberConversion, ReadsADecimalPointWhateverTheLocale) {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        ostrell::testsupport::GeneratedLocale locale(name);
        ASSERT_TRUE(locale.hasDecimalComma()) << name;
        EXPECT_EQ(toWholeNumber("15.5"), 16) << name;
        EXPECT_EQ(toWholeNumber(" 14.5 "), 14) << name;
    }
}

TEST(WholeNumberConversion, RejectsTextThatIsNotANumberAndValuesOutOfRange) {
    for (const char* bad : {"", " ", "abc", "15 s", "1,5", "--1", "1e", "e5", ".", "0x10", "1 2"})
        EXPECT_EQ(errorNumberOf(bad), ostrell::platform::err::TypeMismatch) << "'" << bad << "'";
    for (const char* huge : {"2147483648", "2147483647.5", "-2147483649", "1e300", "99999999999999999999"})
        EXPECT_EQ(errorNumberOf(huge), ostrell::platform::err::Overflow) << huge;
    EXPECT_THROW(toSmallWholeNumber("32768"), PlatformError);
    EXPECT_THROW(toSmallWholeNumber("-32769"), PlatformError);
}

TEST(NumericTest, AcceptsWhatTheSaveButtonMustAccept) {
    EXPECT_TRUE(isNumeric("20"));
    EXPECT_TRUE(isNumeric("-1"));
    EXPECT_TRUE(isNumeric("15.5"));
    EXPECT_TRUE(isNumeric("1E2"));
    EXPECT_TRUE(isNumeric(" 3 "));
    EXPECT_FALSE(isNumeric(""));
    EXPECT_FALSE(isNumeric("abc"));
    EXPECT_FALSE(isNumeric("+"));
    EXPECT_FALSE(isNumeric("12a"));
}
