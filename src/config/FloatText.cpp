#include "config/FloatText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A value's significant digits and decimal exponent: value = d.ddd x 10^Exp.
struct TDigits {
    std::string Digits;
    int Exp = 0;
};

TDigits Decompose(double AMagnitude, int ASignificant) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", ASignificant - 1, AMagnitude);
    TDigits result;
    const char *p = buffer;
    for (; *p != 'e' && *p != '\0'; ++p)
        if (*p >= '0' && *p <= '9')
            result.Digits += *p;
    if (*p == 'e')
        result.Exp = std::atoi(p + 1);
    return result;
}

void StripTrailingZeros(std::string &ADigits) {
    while (ADigits.size() > 1 && ADigits.back() == '0')
        ADigits.pop_back();
}

// The digits placed around the decimal point; AFracMin pads the fraction.
std::string PlaceDigits(const TDigits &ADigits, size_t AFracMin) {
    std::string whole;
    std::string fraction;
    const std::string &d = ADigits.Digits;
    if (ADigits.Exp >= 0) {
        const size_t wholeLen = static_cast<size_t>(ADigits.Exp) + 1;
        whole = d.substr(0, wholeLen);
        if (whole.size() < wholeLen)
            whole.append(wholeLen - whole.size(), '0');
        if (d.size() > wholeLen)
            fraction = d.substr(wholeLen);
    } else {
        whole = "0";
        fraction.assign(static_cast<size_t>(-ADigits.Exp - 1), '0');
        fraction += d;
    }
    if (fraction.size() < AFracMin)
        fraction.append(AFracMin - fraction.size(), '0');
    return fraction.empty() ? whole : whole + '.' + fraction;
}

std::string Scientific(const TDigits &ADigits) {
    std::string text(1, ADigits.Digits[0]);
    if (ADigits.Digits.size() > 1)
        text += '.' + ADigits.Digits.substr(1);
    text += 'E';
    text += std::to_string(ADigits.Exp);
    return text;
}

QString NonFinite(double AValue) {
    if (std::isnan(AValue))
        return QStringLiteral("NAN");
    return AValue < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

} // namespace

QString FormatFloatGeneral(double AValue, int APrecision) {
    if (!std::isfinite(AValue))
        return NonFinite(AValue);
    if (AValue == 0)
        return QStringLiteral("0");
    // Near the largest double, rounding to APrecision digits can overflow;
    // 17 digits always read back as a finite value.
    for (int precision = APrecision;; ++precision) {
        TDigits digits = Decompose(std::fabs(AValue), precision);
        StripTrailingZeros(digits.Digits);
        const bool fixed = digits.Exp >= -4 && digits.Exp < APrecision;
        QString text = QString::fromLatin1((AValue < 0 ? "-" : "") +
                                           (fixed ? PlaceDigits(digits, 0) : Scientific(digits)));
        if (precision >= 17 || ParseFloatText(text))
            return text;
    }
}

QString FormatFloatFixed18(double AValue) {
    constexpr int Significant = 16;
    constexpr int Decimals = 18;
    if (!std::isfinite(AValue))
        return NonFinite(AValue);
    if (AValue == 0)
        return QStringLiteral("0.") + QString(Decimals, u'0');
    const double magnitude = std::fabs(AValue);
    const int exp = Decompose(magnitude, Significant).Exp;
    // Only the digits down to the 18th decimal are shown.
    const int shown = std::min(Significant, Decimals + 1 + exp);
    if (exp >= Significant || shown < 1)
        return FormatFloatGeneral(AValue, Significant);
    const TDigits digits = Decompose(magnitude, shown);
    return QString::fromLatin1((AValue < 0 ? "-" : "") + PlaceDigits(digits, Decimals));
}

std::optional<double> ParseFloatText(QStringView AText) {
    std::string text;
    text.reserve(static_cast<size_t>(AText.size()));
    for (const QChar c : AText) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'0' && u <= u'9') || u == u'.' || u == u'-' || u == u'+' ||
                             u == u'e' || u == u'E';
        if (!allowed)
            return std::nullopt;
        text += static_cast<char>(u);
    }
    if (text.empty() || text[0] == '+')
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}
