#pragma once
// Readable QString values in GoogleTest failure messages.

#include <QString>
#include <ostream>

inline void PrintTo(const QString &AText, std::ostream *AStream) {
    *AStream << '"' << AText.toStdString() << '"';
}
