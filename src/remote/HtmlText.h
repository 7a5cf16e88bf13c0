#pragma once
// The readable words of an HTML page (a proxy's or web server's error page),
// and the cut that keeps a server's text to the size of a status line or box.

#include <QString>

// AHtml as plain text: tags, comments, scripts, styles and the head removed
// (the title only when the body has no text), character references decoded,
// block elements as line breaks, white space folded, empty lines dropped.
QString HtmlToPlainText(const QString &AHtml);

// AText when it has at most AMaxLines lines and AMaxChars characters;
// otherwise its first lines cut to that size, ending in "…".
QString ShortenText(const QString &AText, int AMaxLines = 3, int AMaxChars = 300);
