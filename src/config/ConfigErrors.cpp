#include "config/ConfigErrors.h"

#include <cstring>

EConfigError::EConfigError(const QString &AMessage)
    : FMessage(AMessage), FUtf8(AMessage.toUtf8()) {}

EFileError::EFileError(const QString &AMessage, int AErrno)
    : EConfigError(AMessage), FErrno(AErrno) {}

EParserError::EParserError(const QString &AReason, int ALine)
    : EConfigError(QStringLiteral("%1 on line %2").arg(AReason).arg(ALine)), FReason(AReason),
      FLine(ALine) {}

QString SystemErrorText(int AErrno) {
    // strerror_r comes in two flavours; strerror is enough on the main thread
    // but the GNU variant is thread-safe and always available here.
    char buffer[256];
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char *text = strerror_r(AErrno, buffer, sizeof buffer);
#else
    const char *text = strerror_r(AErrno, buffer, sizeof buffer) == 0 ? buffer : "Unknown error";
#endif
    return QString::fromLocal8Bit(text);
}
