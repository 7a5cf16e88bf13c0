#include "core/Wipe.h"

#include <cstring>

void WipeBytes(QByteArray &AData) {
    if (AData.isDetached() && !AData.isEmpty())
        ::explicit_bzero(AData.data(), static_cast<size_t>(AData.size()));
    AData.truncate(0);
}

void WipeText(QString &AText) {
    if (AText.isDetached() && !AText.isEmpty())
        ::explicit_bzero(AText.data(), static_cast<size_t>(AText.size()) * sizeof(QChar));
    AText.truncate(0);
}
