#include "remote/Protocol.h"

#include "remote/UrlEncoding.h"

#include <QStringDecoder>
#include <algorithm>

QString BaseURL(const TSettings &ASettings, bool ACredentials) {
    // The server text goes in as typed: it may be a name, an address or a
    // bracketed IPv6 address, and the server expects exactly that.
    QString url = QStringLiteral("%1://%2:%3")
                      .arg(ASettings.TLS ? QStringLiteral("https") : QStringLiteral("http"),
                           ASettings.Server, QString::number(ASettings.Port));
    if (ACredentials) {
        url += QStringLiteral("/?user=") + QString::fromLatin1(UrlEncode(ASettings.User)) +
               QStringLiteral("&pass=") + QString::fromLatin1(UrlEncode(ASettings.Pass));
    }
    return url;
}

QByteArray UploadFormPrefix(const TSettings &ASettings, const QString &AFileName, int APos) {
    // Both separators count: a path may come from either platform's dialogs.
    QString name = AFileName;
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);

    QByteArray form;
    form += "user=" + UrlEncode(ASettings.User);
    form += "&pass=" + UrlEncode(ASettings.Pass);
    form += "&action=vocarra";
    form += "&fn=" + UrlEncode(name);
    form += "&pos=" + QByteArray::number(APos);
    form += "&vt=";
    return form;
}

namespace {

// The "charset" parameter of a Content-Type value, unquoted; empty when absent.
QByteArray CharsetOf(const QByteArray &AContentType) {
    for (const QByteArray &param : AContentType.split(';')) {
        const QByteArray p = param.trimmed();
        if (p.size() > 8 && p.left(8).toLower() == "charset=") {
            QByteArray value = p.mid(8).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

} // namespace

QString ReplyText(const QByteArray &ABody, const QByteArray &AContentType) {
    const QByteArray charset = CharsetOf(AContentType);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(ABody);
    }
    // No charset, or one this platform does not know: UTF-8 is the server's default.
    return QString::fromUtf8(ABody);
}
