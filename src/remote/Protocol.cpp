#include "remote/Protocol.h"

#include "core/Wipe.h"
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
        // The encoded password is scratch: appended straight into a buffer
        // large enough from the start, then overwritten.
        QByteArray user = UrlEncode(ASettings.User);
        QByteArray pass = UrlEncode(ASettings.Pass);
        url.reserve(url.size() + 13 + user.size() + pass.size());
        url += QLatin1StringView("/?user=");
        url += QLatin1StringView(user);
        url += QLatin1StringView("&pass=");
        url += QLatin1StringView(pass);
        WipeBytes(user);
        WipeBytes(pass);
    }
    return url;
}

QByteArray UploadFormPrefix(const TSettings &ASettings, const QString &AFileName, int APos) {
    // Both separators count: a path may come from either platform's dialogs.
    QString name = AFileName;
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);

    QByteArray user = UrlEncode(ASettings.User);
    QByteArray pass = UrlEncode(ASettings.Pass);
    const QByteArray fn = UrlEncode(name);
    const QByteArray pos = QByteArray::number(APos);
    // One buffer of the final size, so that no grown-out copy of the
    // password is left behind; the encoded scratch copies are overwritten.
    QByteArray form;
    form.reserve(40 + user.size() + pass.size() + fn.size() + pos.size());
    form += "user=";
    form += user;
    form += "&pass=";
    form += pass;
    form += "&action=vocarra";
    form += "&fn=";
    form += fn;
    form += "&pos=";
    form += pos;
    form += "&vt=";
    WipeBytes(user);
    WipeBytes(pass);
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
