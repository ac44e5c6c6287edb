#include "pdfengine/PdfNumber.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

using plait::pdf::pdfNumber;

namespace {

struct Case {
    double value;
    int decimals;
    const char* text;
};

void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(pdfNumber(c.value, c.decimals), c.text) << c.value << " to " << c.decimals << " places";
    }
}

} // namespace

TEST(PdfNumber, RoundsToThePlacesAskedAndDropsTrailingZeros) {
    expectAll({{1.23456, 0, "1"},
               {1.23456, 1, "1.2"},
               {1.23456, 3, "1.235"},
               {1.23456, 4, "1.2346"},
               {2.5, 4, "2.5"},
               {12, 4, "12"},
               {-3.25, 4, "-3.25"},
               // Zeros before the point stay, with or without places after it.
               {100, 0, "100"},
               {1000.0001, 3, "1000"},
               {10, 3, "10"},
               // Rounding up carries into the integer part.
               {0.99996, 4, "1"},
               {-9.9996, 3, "-10"},
               // A value exactly halfway in binary rounds to even; decimal halves are seldom exact.
               {0.125, 2, "0.12"},
               {0.375, 2, "0.38"},
               {2.675, 2, "2.67"},
               {0.0005, 3, "0.001"}});
}

TEST(PdfNumber, NeverWritesNegativeZero) {
    expectAll({{-0.0, 4, "0"},
               {-0.0, 0, "0"},
               {-0.00004, 4, "0"},
               {-0.0004, 3, "0"},
               {-0.4, 0, "0"},
               // cos and sin leave such values in rotation matrices.
               {-std::sin(M_PI), 4, "0"},
               {-1e-300, 10, "0"},
               // The smallest negative value that does not round to zero keeps its sign.
               {-0.00005, 4, "-0.0001"},
               {-0.6, 0, "-1"}});
}

TEST(PdfNumber, LargeAndTinyValuesAreWrittenOutInFull) {
    expectAll({{1e20, 4, "100000000000000000000"},
               {-123456789012.5, 1, "-123456789012.5"},
               {5e-324, 10, "0"},
               {1e-10, 10, "0.0000000001"},
               {0.00015, 4, "0.0001"}});
    // No exponent and no truncation, however large the value.
    const std::string huge = pdfNumber(1e300, 4);
    EXPECT_EQ(huge.size(), 301u);
    EXPECT_EQ(huge.substr(0, 2), "10");
    EXPECT_EQ(huge.find_first_not_of("0123456789"), std::string::npos);
    const std::string largest = pdfNumber(-DBL_MAX, 10);
    EXPECT_EQ(largest.size(), 310u);
    EXPECT_EQ(largest.front(), '-');
}

TEST(PdfNumber, ValuesThatAreNotFiniteAndOddPlacesStayReadable) {
    expectAll({{std::numeric_limits<double>::quiet_NaN(), 4, "0"},
               {std::numeric_limits<double>::infinity(), 4, "0"},
               {-std::numeric_limits<double>::infinity(), 3, "0"},
               // Places are held between 0 and 10.
               {1.5, -2, "2"},
               {1.0 / 3, 40, "0.3333333333"}});
}
