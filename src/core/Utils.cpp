#include "core/Utils.h"

#include <chrono>

qint64 GetTickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString FormatTimeMs(qint64 AMs) {
    // A countdown that overshoots its end must not show a minus sign in every field.
    if (AMs <= 0)
        return QStringLiteral("00:00.0");
    const qint64 seconds = AMs / 1000;
    const qint64 minutes = seconds / 60;
    const qint64 hours = minutes / 60;
    const int s = int(seconds % 60);
    const int m = int(minutes % 60);
    const int tenths = int((AMs % 1000) / 100);
    if (hours > 0)
        return QStringLiteral("%1:%2:%3.%4")
            .arg(hours)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'))
            .arg(tenths);
    return QStringLiteral("%1:%2.%3")
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'))
        .arg(tenths);
}

QString StripAccelerators(const QString &AText) {
    QString result = AText;
    result.remove(QLatin1Char('&'));
    return result;
}

QString SanitizeFileName(const QString &AText) {
    static const QString forbidden = QStringLiteral("\"|*/:<>?\\");
    QString result;
    result.reserve(AText.size());
    for (const QChar c : AText) {
        if (!forbidden.contains(c))
            result.append(c);
    }
    return result;
}
