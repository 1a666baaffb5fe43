#include "expr/value.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using qvtlib::expr::doubleEqual;
using qvtlib::expr::isNumeric;
using qvtlib::expr::toDouble;

TEST(Value, ElevenArithmeticTypesAreNumericAndConvert) {
    struct Case {
        boost::any value;
        double expected;
    };
    const Case cases[] = {
        {boost::any(true), 1.0},
        {boost::any(-7), -7.0},
        {boost::any(4294967295u), 4294967295.0},  // unsigned stays positive
        {boost::any(1.5f), 1.5},
        {boost::any(2.25), 2.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.type().name());
        EXPECT_TRUE(isNumeric(c.value));
        EXPECT_EQ(c.expected, toDouble(c.value));
        double out = -1.0;
        EXPECT_TRUE(qvtlib::expr::tryToDouble(c.value, out));
        EXPECT_EQ(c.expected, out);
    }
}

TEST(Value, NonNumericValuesRefuseConversionWithoutThrowing) {
    double out = -1.0;
    EXPECT_FALSE(isNumeric(boost::any(12LL)));
    EXPECT_FALSE(qvtlib::expr::tryToDouble(boost::any(std::string("12")), out));
    EXPECT_EQ(-1.0, out);  // untouched on failure
    EXPECT_THROW(toDouble(boost::any()), std::exception);
}

TEST(Value, DoubleEqualUsesSmallestNormalisedDouble) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(doubleEqual(0.0, -0.0));
    EXPECT_FALSE(doubleEqual(0.1 + 0.2, 0.3));  // the tolerance is not an epsilon
    EXPECT_TRUE(doubleEqual(0.0, std::numeric_limits<double>::denorm_min()));
    EXPECT_FALSE(doubleEqual(0.0, std::numeric_limits<double>::min()));
    EXPECT_FALSE(doubleEqual(nan, nan));
    EXPECT_FALSE(doubleEqual(nan, 1.0));
}
