#include "pdfengine/geometry/Geometry.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace plait::pdf;

TEST(GeometryUnits, NumbersAreReadTheSameInEveryLocale) {
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

TEST(GeometryUnits, UnitNamesAndConversions) {
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
