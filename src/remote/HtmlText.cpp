#include "remote/HtmlText.h"

#include <QStringList>
#include <array>
#include <utility>

namespace {

// The elements that start a new line of text where they open or close.
bool IsBlock(const QString &AName) {
    static const std::array<const char *, 31> KBlocks = {
        "address", "article", "blockquote", "body", "br",    "center", "dd",  "div",
        "dl",      "dt",      "footer",     "form", "h1",    "h2",     "h3",  "h4",
        "h5",      "h6",      "header",     "hr",   "html",  "li",     "ol",  "p",
        "pre",     "section", "table",      "tr",   "title", "ul",     "main"};
    for (const char *block : KBlocks) {
        if (AName == QLatin1String(block))
            return true;
    }
    return false;
}

// Elements whose content is never text for a reader.
bool IsHidden(const QString &AName) {
    return AName == QLatin1String("script") || AName == QLatin1String("style") ||
           AName == QLatin1String("head") || AName == QLatin1String("noscript") ||
           AName == QLatin1String("template");
}

// The character of a named reference; 0 when it is not one of the usual ones.
char32_t NamedEntity(const QString &AName) {
    static const std::pair<const char *, char32_t> KNames[] = {
        {"amp", U'&'},        {"lt", U'<'},          {"gt", U'>'},          {"quot", U'"'},
        {"apos", U'\''},      {"nbsp", U' '},        {"copy", U'\u00A9'},   {"reg", U'\u00AE'},
        {"ndash", U'\u2013'}, {"mdash", U'\u2014'},  {"hellip", U'\u2026'}, {"laquo", U'\u00AB'},
        {"raquo", U'\u00BB'}, {"lsquo", U'\u2018'},  {"rsquo", U'\u2019'},  {"ldquo", U'\u201C'},
        {"rdquo", U'\u201D'}, {"middot", U'\u00B7'}, {"bull", U'\u2022'},   {"euro", U'\u20AC'}};
    for (const auto &[name, c] : KNames) {
        if (AName == QLatin1String(name))
            return c;
    }
    return 0;
}

// Decodes the reference starting at AText[AIndex] == '&'. Returns the index
// after it and sets AOut, or returns AIndex when it is not a reference.
qsizetype DecodeReference(const QString &AText, qsizetype AIndex, QString &AOut) {
    const qsizetype semicolon = AText.indexOf(u';', AIndex + 1);
    if (semicolon < 0 || semicolon - AIndex > 12)
        return AIndex;
    const QString body = AText.mid(AIndex + 1, semicolon - AIndex - 1);
    char32_t c = 0;
    if (body.startsWith(u'#')) {
        bool ok = false;
        const bool hex = body.size() > 1 && (body.at(1) == u'x' || body.at(1) == u'X');
        const uint value = hex ? body.mid(2).toUInt(&ok, 16) : body.mid(1).toUInt(&ok, 10);
        if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return AIndex;
        c = static_cast<char32_t>(value);
    } else {
        c = NamedEntity(body);
        if (c == 0)
            return AIndex;
    }
    AOut += QString::fromUcs4(&c, 1);
    return semicolon + 1;
}

// The index after the '>' that ends the tag opened at AIndex, quotes respected.
qsizetype SkipTag(const QString &AText, qsizetype AIndex) {
    QChar quote;
    for (qsizetype i = AIndex + 1; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return AText.size();
}

// The tag's name in lower case, and whether it closes an element.
QString TagName(const QString &AText, qsizetype AIndex, bool &AClosing) {
    qsizetype i = AIndex + 1;
    AClosing = i < AText.size() && AText.at(i) == u'/';
    if (AClosing)
        ++i;
    const qsizetype start = i;
    auto isAscii = [&](qsizetype AAt, bool ADigits) {
        const char16_t u = AText.at(AAt).unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
               (ADigits && u >= u'0' && u <= u'9');
    };
    if (i < AText.size() && isAscii(i, false)) {
        while (i < AText.size() && isAscii(i, true))
            ++i;
    }
    return AText.mid(start, i - start).toLower();
}

// The index of the end tag of AName at or after AFrom, or -1.
qsizetype FindEndTag(const QString &AText, qsizetype AFrom, const QString &AName) {
    const QString end = QStringLiteral("</") + AName;
    qsizetype i = AFrom;
    while ((i = AText.indexOf(end, i, Qt::CaseInsensitive)) >= 0) {
        const qsizetype after = i + end.size();
        if (after >= AText.size() || !AText.at(after).isLetterOrNumber())
            return i;
        i = after;
    }
    return -1;
}

QString FoldLines(const QString &AText) {
    QStringList lines;
    for (const QString &line : AText.split(u'\n')) {
        const QString folded = line.simplified();
        if (!folded.isEmpty())
            lines << folded;
    }
    return lines.join(u'\n');
}

QString Text(const QString &AHtml, QString *ATitle) {
    QString out;
    out.reserve(AHtml.size() / 2);
    qsizetype i = 0;
    const qsizetype n = AHtml.size();
    while (i < n) {
        const QChar c = AHtml.at(i);
        if (c == u'&') {
            const qsizetype after = DecodeReference(AHtml, i, out);
            if (after != i) {
                i = after;
                continue;
            }
            out += c;
            ++i;
            continue;
        }
        if (c != u'<') {
            // Line breaks in the source are only white space; blocks make lines.
            out += c == u'\n' || c == u'\r' || c == u'\t' ? QChar(u' ') : c;
            ++i;
            continue;
        }
        if (AHtml.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = AHtml.indexOf(QLatin1String("-->"), i + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        bool closing = false;
        const QString name = TagName(AHtml, i, closing);
        if (name.isEmpty() && (i + 1 >= n || (AHtml.at(i + 1) != u'!' && AHtml.at(i + 1) != u'?' &&
                                              AHtml.at(i + 1) != u'/'))) {
            out += c; // a lone "<" in the text
            ++i;
            continue;
        }
        const qsizetype afterTag = SkipTag(AHtml, i);
        if (!closing && IsHidden(name)) {
            const qsizetype end = FindEndTag(AHtml, afterTag, name);
            if (end >= 0) {
                if (name == QLatin1String("head") && ATitle != nullptr) {
                    const QString head = AHtml.mid(afterTag, end - afterTag);
                    const qsizetype title =
                        head.indexOf(QLatin1String("<title"), 0, Qt::CaseInsensitive);
                    if (title >= 0)
                        *ATitle = FoldLines(Text(head.mid(title), nullptr));
                }
                i = SkipTag(AHtml, end);
                continue;
            }
        }
        if (IsBlock(name))
            out += u'\n';
        else if (name == QLatin1String("td") || name == QLatin1String("th"))
            out += u' ';
        i = afterTag;
    }
    return out;
}

} // namespace

QString HtmlToPlainText(const QString &AHtml) {
    QString title;
    const QString body = FoldLines(Text(AHtml, &title));
    return body.isEmpty() ? title : body;
}

QString ShortenText(const QString &AText, int AMaxLines, int AMaxChars) {
    QStringList lines = AText.split(u'\n');
    if (lines.size() > 1 && lines.last().trimmed().isEmpty())
        lines.removeLast(); // a final line break opens no line of its own
    if (lines.size() <= AMaxLines && AText.size() <= AMaxChars)
        return AText;
    const bool droppedLines = lines.size() > AMaxLines;
    QString out = lines.mid(0, AMaxLines).join(u'\n');
    const QString ellipsis = QStringLiteral("\u2026");
    if (out.size() + ellipsis.size() > AMaxChars) {
        qsizetype cut = AMaxChars - ellipsis.size();
        // Rather at a word's end, when one is near.
        const qsizetype space = out.lastIndexOf(u' ', cut);
        if (space > cut - 40 && space > 0)
            cut = space;
        if (cut > 0 && out.at(cut - 1).isHighSurrogate())
            --cut;
        out.truncate(cut);
    } else if (!droppedLines) {
        return AText;
    }
    while (!out.isEmpty() && out.back().isSpace())
        out.chop(1);
    return out + ellipsis;
}
