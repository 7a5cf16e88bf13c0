#include "app/cli/CliOutput.h"

#include "core/PrintableText.h"

QString OneLine(const QString &AText) {
    return PrintableText(AText, pmOneLine);
}

QString JsonString(const QString &AText) {
    // A reader may print the decoded value to a terminal: no escape sequence
    // travels inside it either.
    const QString text = PrintableText(AText, pmEscapedWhitespace);
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString PlaylistLines(const TPlaylist &APlaylist) {
    QString out;
    int pos = 0;
    for (const TPlaylistItem &item : APlaylist) {
        out += QString::number(++pos) + u'\t' + OneLine(item.StartTime) + u'\t' +
               OneLine(item.Title) + u'\t' + OneLine(item.Duration) + u'\n';
    }
    return out;
}

QString PlaylistJson(const TPlaylist &APlaylist) {
    QString out = QStringLiteral("[");
    int pos = 0;
    for (const TPlaylistItem &item : APlaylist) {
        if (pos > 0)
            out += u',';
        out += QStringLiteral("{\"pos\":%1,\"start\":").arg(++pos) + JsonString(item.StartTime) +
               QStringLiteral(",\"title\":") + JsonString(item.Title) +
               QStringLiteral(",\"duration\":") + JsonString(item.Duration) + u'}';
    }
    out += QStringLiteral("]\n");
    return out;
}

QString NowPlayingLines(const TPlaybackInfo &AInfo) {
    return QStringLiteral("PlaylistPos: %1\nPos: %2\nLen: %3\n")
               .arg(AInfo.PlaylistPos)
               .arg(AInfo.Pos)
               .arg(AInfo.Len) +
           QStringLiteral("State: ") + OneLine(AInfo.State) + QStringLiteral("\nCurrentTrack: ") +
           OneLine(AInfo.CurrentTrack) + QStringLiteral("\nNextTrack: ") +
           OneLine(AInfo.NextTrack) + u'\n';
}

QString NowPlayingJson(const TPlaybackInfo &AInfo) {
    return QStringLiteral("{\"playlistPos\":%1,\"pos\":%2,\"len\":%3,\"state\":")
               .arg(AInfo.PlaylistPos)
               .arg(AInfo.Pos)
               .arg(AInfo.Len) +
           JsonString(AInfo.State) + QStringLiteral(",\"currentTrack\":") +
           JsonString(AInfo.CurrentTrack) + QStringLiteral(",\"nextTrack\":") +
           JsonString(AInfo.NextTrack) + QStringLiteral("}\n");
}
