#pragma once
// The failure text of a reply whose status is outside 200-299: short enough
// for a status bar or a message box, with the whole reply kept for whoever
// wants to read it all.

#include <QByteArray>
#include <QString>

struct TReplyErrorText {
    // What the user is shown: the server's plain text as it stands; or, for an
    // empty body or an HTML page, "HTTP 502 Bad Gateway" followed by the
    // page's words. Long texts are cut to a few lines.
    QString Shown;
    // "HTTP 502 Bad Gateway", a line break and the whole body as text.
    QString Full;
};

TReplyErrorText StatusErrorText(long AStatus, const QByteArray &ABody,
                                const QByteArray &AContentType);

// The standard reason phrase of AStatus ("Bad Gateway"); empty for an unknown one.
QString HttpReasonPhrase(long AStatus);

// "HTTP 502 Bad Gateway", or "HTTP 599" for a status without a known phrase.
QString HttpStatusLine(long AStatus);
