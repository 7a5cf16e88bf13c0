#include "remote/ReplyErrorText.h"

#include "remote/HtmlText.h"
#include "remote/Protocol.h"

#include <utility>

namespace {

// Whether the reply is a web page rather than a message: by its type, or by
// its first tag when a server labels its error page wrongly.
bool IsHtml(const QByteArray &AContentType, const QString &AText) {
    const QByteArray type = AContentType.split(';').first().trimmed().toLower();
    if (type == "text/html" || type == "application/xhtml+xml")
        return true;
    const QString start = AText.left(200).trimmed();
    return start.startsWith(QLatin1String("<!doctype html"), Qt::CaseInsensitive) ||
           start.startsWith(QLatin1String("<html"), Qt::CaseInsensitive);
}

} // namespace

QString HttpReasonPhrase(long AStatus) {
    static const std::pair<long, const char *> KPhrases[] = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {300, "Multiple Choices"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {412, "Precondition Failed"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {416, "Range Not Satisfiable"},
        {417, "Expectation Failed"},
        {421, "Misdirected Request"},
        {422, "Unprocessable Content"},
        {425, "Too Early"},
        {426, "Upgrade Required"},
        {428, "Precondition Required"},
        {429, "Too Many Requests"},
        {431, "Request Header Fields Too Large"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"},
        {507, "Insufficient Storage"},
        {511, "Network Authentication Required"},
    };
    for (const auto &[status, phrase] : KPhrases) {
        if (status == AStatus)
            return QString::fromLatin1(phrase);
    }
    return {};
}

QString HttpStatusLine(long AStatus) {
    const QString phrase = HttpReasonPhrase(AStatus);
    const QString line = QStringLiteral("HTTP %1").arg(AStatus);
    return phrase.isEmpty() ? line : line + u' ' + phrase;
}

TReplyErrorText StatusErrorText(long AStatus, const QByteArray &ABody,
                                const QByteArray &AContentType) {
    const QString text = ReplyText(ABody, AContentType);
    const QString statusLine = HttpStatusLine(AStatus);
    TReplyErrorText out;
    out.Full = text.isEmpty() ? statusLine : statusLine + u'\n' + text;
    if (IsHtml(AContentType, text)) {
        const QString words = HtmlToPlainText(text);
        out.Shown =
            words.isEmpty() ? statusLine : statusLine + QStringLiteral(": ") + ShortenText(words);
    } else if (text.trimmed().isEmpty()) {
        out.Shown = statusLine;
    } else {
        // A message the server wrote for people reaches them as it stands.
        out.Shown = ShortenText(text);
    }
    return out;
}
