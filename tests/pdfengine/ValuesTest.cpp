#include "pdfengine/Values.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

using namespace plait::pdf;

TEST(Values, NumbersAreReadTheSameInEveryLocale) {
    // A comma-decimal locale must not change how "12.5" is read.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    struct Case {
        const char* text;
        std::optional<double> value;
    };
    for (const Case c : {Case{"12.5", 12.5},
                         Case{"12,5", 12.5},
                         Case{" 3 ", 3.0},
                         Case{"-2", -2.0},
                         Case{"+4", 4.0},
                         Case{".5", 0.5},
                         Case{"7.", 7.0},
                         Case{"0", 0.0},
                         Case{"", std::nullopt},
                         Case{"  ", std::nullopt},
                         Case{"abc", std::nullopt},
                         Case{"1e5", std::nullopt},
                         Case{"1,234.5", std::nullopt},
                         Case{"1,2,3", std::nullopt},
                         Case{"12pt", std::nullopt},
                         Case{"--1", std::nullopt},
                         Case{"+-1", std::nullopt},
                         Case{"-", std::nullopt},
                         Case{".", std::nullopt},
                         Case{"1.2.3", std::nullopt},
                         Case{"1-2", std::nullopt}}) {
        EXPECT_EQ(parseNumber(c.text), c.value) << '"' << c.text << '"';
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Values, UnitNamesAndConversions) {
    EXPECT_EQ(parseUnit(""), Unit::Points);
    EXPECT_EQ(parseUnit("pt"), Unit::Points);
    EXPECT_EQ(parseUnit(" IN "), Unit::Inches);
    EXPECT_EQ(parseUnit("cm"), Unit::Centimeters);
    EXPECT_EQ(parseUnit("mm"), Unit::Millimeters);
    EXPECT_EQ(parseUnit("px"), std::nullopt);
    EXPECT_EQ(parseUnit("m"), std::nullopt);

    EXPECT_DOUBLE_EQ(toPoints(2, Unit::Inches), 144);
    EXPECT_DOUBLE_EQ(toPoints(2.54, Unit::Centimeters), 72);
    EXPECT_DOUBLE_EQ(toPoints(210, Unit::Millimeters), 595.2755905511812);
    EXPECT_DOUBLE_EQ(toPoints(5, Unit::Points), 5);
}

TEST(Values, NumbersWrittenByProgramsTakeThePointOnly) {
    EXPECT_EQ(parseNumber("12.5", DecimalMark::Point), 12.5);
    EXPECT_EQ(parseNumber(" -3 ", DecimalMark::Point), -3);
    EXPECT_EQ(parseNumber("12,5", DecimalMark::Point), std::nullopt);
    EXPECT_EQ(parseNumber("+-1", DecimalMark::Point), std::nullopt);
    EXPECT_EQ(parseNumber("inf", DecimalMark::Point), std::nullopt);
    EXPECT_EQ(parseNumber("nan"), std::nullopt);
    EXPECT_EQ(parseNumber("1" + std::string(400, '0')), std::nullopt) << "out of range is no number";
}

TEST(Values, UnitCodesAloneAndLengths) {
    EXPECT_EQ(parseUnit("inches"), Unit::Inches);
    EXPECT_EQ(parseUnit("Points"), Unit::Points);
    EXPECT_EQ(parseUnit("inches", UnitNames::Codes), std::nullopt);
    EXPECT_EQ(parseUnit("points", UnitNames::Codes), std::nullopt);
    EXPECT_EQ(parseUnit(" MM ", UnitNames::Codes), Unit::Millimeters);
    EXPECT_EQ(parseUnit("", UnitNames::Codes), Unit::Points);

    EXPECT_DOUBLE_EQ(*parseLength("1,5", Unit::Inches), 108);
    EXPECT_EQ(parseLength("12pt", Unit::Points), std::nullopt);
    EXPECT_EQ(parseLength("", Unit::Centimeters), std::nullopt);
}

TEST(Values, ColoursAreSixHexDigits) {
    EXPECT_EQ(parseColor("FF8000"), (Rgb{1, 128 / 255.0, 0}));
    EXPECT_EQ(parseColor(" #00ff00 "), (Rgb{0, 1, 0}));
    EXPECT_EQ(parseColor("000000"), (Rgb{0, 0, 0}));
    for (const char* bad : {"", "#", "red", "FFF", "FF80000", "GG0000", "#-1234F", "0x1234"}) {
        EXPECT_EQ(parseColor(bad), std::nullopt) << '"' << bad << '"';
    }
}

TEST(Values, SwitchesAndBlanks) {
    for (const char* yes : {"", "y", "Yes", "1", "on", " TRUE "}) {
        EXPECT_EQ(parseSwitch(yes), true) << yes;
    }
    for (const char* no : {"n", "NO", "0", "off", "false"}) {
        EXPECT_EQ(parseSwitch(no), false) << no;
    }
    for (const char* neither : {"2", "yess", "maybe"}) {
        EXPECT_EQ(parseSwitch(neither), std::nullopt) << neither;
    }
    EXPECT_TRUE(isBlank(" \t\r\n"));
    EXPECT_FALSE(isBlank(" x "));
}

TEST(Values, NumbersWithADefaultSayWhenTheDefaultStandsInForAText) {
    std::vector<std::string> notes;
    EXPECT_EQ(numberOr(" 2,5 ", 12, "12", "Size", notes), 2.5);
    EXPECT_EQ(numberOr(" \t", 12, "12", "Size", notes), 12);
    EXPECT_TRUE(notes.empty()) << "blank is the default, without a note";
    EXPECT_EQ(numberOr("big", 12, "12", "Size", notes), 12);
    EXPECT_EQ(notes, std::vector<std::string>{"Size: \"big\" is not a number; 12 is used"});
}
