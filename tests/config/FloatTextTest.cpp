// Number texts of the configuration files.

#include "config/FloatText.h"

#include "ConfigTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

struct TFloatCase {
    double Value;
    QString Text;
};

// Fixed point with 18 decimals after rounding to 16 significant digits.
const TFloatCase FixedCases[] = {
    {0.09, u"0.090000000000000000"_s},
    {1, u"1.000000000000000000"_s},
    {-2.5, u"-2.500000000000000000"_s},
    {1.0 / 3, u"0.333333333333333300"_s},
    {2.0 / 3, u"0.666666666666666600"_s},
    {123456.789, u"123456.789000000000000000"_s},
    {1e15, u"1000000000000000.000000000000000000"_s},
    {0.1 + 0.2, u"0.300000000000000000"_s},
    {1.5e-5, u"0.000015000000000000"_s},
    {1.234567890123456e-5, u"0.000012345678901235"_s},
    {4e-18, u"0.000000000000000004"_s},
    // Beyond what 18 decimals or 16 integer digits can show: general form.
    {1e16, u"1E16"_s},
    {-1.5e300, u"-1.5E300"_s},
    {1.5e-20, u"1.5E-20"_s},
    // The largest double, rounded to 16 digits, would overflow: it takes 17.
    {1.7976931348623157e308, u"1.7976931348623157E308"_s},
};

TEST(FloatText, FixedEighteenDecimals) {
    for (const TFloatCase &c : FixedCases) {
        SCOPED_TRACE(c.Text.toStdString());
        EXPECT_EQ(FormatFloatFixed18(c.Value), c.Text);
    }
}

// General format, 15 digits, as singles are written (after widening).
const TFloatCase GeneralCases[] = {
    {2.5, u"2.5"_s},
    {-3, u"-3"_s},
    {double(0.1f), u"0.100000001490116"_s},
    {double(3.14159f), u"3.1415901184082"_s},
    {double(1e20f), u"1.00000002004088E20"_s},
    {double(1e-5f), u"9.99999974737875E-6"_s},
    {0.0001, u"0.0001"_s},
    {0.00001, u"1E-5"_s},
    {123456789012345, u"123456789012345"_s},
    {1234567890123456, u"1.23456789012346E15"_s},
    {0, u"0"_s},
    {std::numeric_limits<double>::infinity(), u"INF"_s},
};

TEST(FloatText, GeneralFifteenDigits) {
    for (const TFloatCase &c : GeneralCases) {
        SCOPED_TRACE(c.Text.toStdString());
        EXPECT_EQ(FormatFloatGeneral(c.Value, 15), c.Text);
    }
}

TEST(FloatText, WrittenValuesReadBack) {
    const double values[] = {0.09,          -2.5,  1e16,   1e-20, -1.7976931348623157e308,
                             6.02214076e23, 4e-18, 1.0 / 3};
    for (const double value : values) {
        SCOPED_TRACE(value);
        const auto back = ParseFloatText(FormatFloatFixed18(value));
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(*back, value, std::fabs(value) * 1e-15);
    }
    const float singles[] = {0.1f,
                             2.5f,
                             1e20f,
                             1e-5f,
                             -7.25f,
                             std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min()};
    for (const float value : singles) {
        SCOPED_TRACE(value);
        const auto back = ParseFloatText(FormatFloatGeneral(value, 15));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(static_cast<float>(*back), value);
    }
}

TEST(FloatText, ParsingAcceptsOnlyPlainNumbers) {
    EXPECT_EQ(ParseFloatText(u"1.5E-3"_s), 1.5e-3);
    EXPECT_EQ(ParseFloatText(u"-12"_s), -12);
    const QString rejected[] = {u""_s,     u" 1"_s,  u"1,5"_s,   u"+1"_s,
                                u"1.5s"_s, u"NAN"_s, u"1E999"_s, u"0x10"_s};
    for (const QString &text : rejected)
        EXPECT_FALSE(ParseFloatText(text).has_value()) << text.toStdString();
}

} // namespace
