// Numbers and text fields of the kept files: the same bytes whatever the
// user's locale, and text never cut inside a character.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale>
#include <string>

#include "persistence/text_fields.h"

namespace {
// A locale whose decimal point is a comma, as the Vietnamese one has.
struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

class CommaLocale : public ::testing::Test {
protected:
    std::locale saved;
    void SetUp() override {
        saved = std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
        // The C library's own number functions follow setlocale.
        ASSERT_NE(std::setlocale(LC_NUMERIC, "vi_VN.UTF-8"), nullptr) << "scripts/install_deps.sh generates it";
        ASSERT_EQ(std::strtod("2.8", nullptr), 2.0) << "the locale must read a point as the end of a number";
    }
    void TearDown() override {
        std::locale::global(saved);
        std::setlocale(LC_NUMERIC, "C");
    }
};

TEST_F(CommaLocale, NumbersAreWrittenAndReadInTheClassicFormat) {
    EXPECT_EQ(FormatNumber(2.8), "2.8");
    EXPECT_EQ(FormatNumber(-2.0), "-2");
    EXPECT_EQ(FormatNumber(0.1f), "0.1");
    EXPECT_EQ(FormatNumber(1234567.0), "1.23457e+06");
    double v = 0.0;
    ASSERT_TRUE(ParseNumberPrefix("2.8", v));
    EXPECT_DOUBLE_EQ(v, 2.8);
    ASSERT_TRUE(ParseNumberPrefix("  +1.5dB", v));
    EXPECT_DOUBLE_EQ(v, 1.5);
    ASSERT_TRUE(ParseNumberPrefix("-.5", v));
    EXPECT_DOUBLE_EQ(v, -0.5);
    float f = 0.0f;
    EXPECT_FALSE(ParseFloatPrefix("1e300", f)) << "beyond the float range";
    ASSERT_TRUE(ParseFloatPrefix("-3e38", f));
    EXPECT_FLOAT_EQ(f, -3e38f);
    for (const char* bad : {"", "nan", "-inf", "inf", "1e999", "x2", "+"}) {
        v = 7.0;
        EXPECT_FALSE(ParseNumberPrefix(bad, v)) << bad;
        EXPECT_EQ(v, 7.0) << "untouched on failure";
    }
}

TEST(TextFields, CutsOnlyBetweenCharacters) {
    const std::string viet = "Tình ca";  // "ì" is two bytes at 1..2
    EXPECT_EQ(TruncateUtf8(viet, 2), "T");
    EXPECT_EQ(TruncateUtf8(viet, 3), "Tì");
    EXPECT_EQ(TruncateUtf8("\xe1\xba\xa1" "a", 2), "");  // a three-byte letter does not fit
    EXPECT_EQ(TruncateUtf8(viet, 64), viet);
    EXPECT_EQ(TruncateUtf8(std::string(10, '\x80'), 4).size(), 4u);  // invalid text is still cut
}

TEST(TextFields, SeparatorsAndControlsBecomeSpaces) {
    EXPECT_EQ(CleanField("a|b\nc\rd\te\x7f" "f", '|'), "a b c d e f");
    EXPECT_EQ(CleanField("Hạ trắng", '|'), "Hạ trắng");
}

TEST(TextFields, LinesLoseOneCarriageReturn) {
    std::vector<std::string> lines;
    ForEachLine("a\r\nb\n\r\r\nc", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "\r", "c"}));
}
}  // namespace
