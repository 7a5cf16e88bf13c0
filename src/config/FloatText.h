#pragma once
// Numbers as configuration text: always "." as decimal separator, whatever the
// user's locale.

#include <QString>
#include <QStringView>
#include <optional>

// Fixed-point with 18 digits after the point, rounded to 16 significant
// digits: 0.09 -> "0.090000000000000000". Magnitudes of 1E16 and more, and
// those too small to show in 18 decimals, take the general form instead, so a
// value is never written as a different power of ten or as 0.
QString FormatFloatFixed18(double AValue);

// General format with at most APrecision significant digits and no trailing
// zeros: 2.5 -> "2.5", 1E20 -> "1E20", 0.00001 -> "1E-5". Not-a-number and
// infinities give "NAN", "INF", "-INF".
QString FormatFloatGeneral(double AValue, int APrecision);

// Reads "12", "-0.5", "1.5E-3"; nothing else, not even surrounding spaces.
std::optional<double> ParseFloatText(QStringView AText);
