#pragma once
// Helpers shared by the station simulator's tests.

#include "SimPlaylist.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QXmlStreamReader>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

// A clock that moves only when the test says so.
class TManualClock {
public:
    TSimClock Clock() {
        return {[this] { return FNow.load(); }, [this] { return FMsOfDay.load(); }};
    }
    void Advance(qint64 AMs) { FNow += AMs; }
    void SetMsOfDay(qint64 AMs) { FMsOfDay = AMs; }

private:
    std::atomic<qint64> FNow{1000000};
    std::atomic<qint64> FMsOfDay{8 * 3600 * 1000};
};

inline TSimEntry Entry(const char *ATitle, qint64 ADurationMs) {
    TSimEntry entry;
    entry.Title = QString::fromUtf8(ATitle);
    entry.FileName = entry.Title + QStringLiteral(".mp3");
    entry.DurationMs = ADurationMs;
    return entry;
}

// The first bytes of a FLAC file: marker, STREAMINFO header and block, then
// a few bytes of (made-up) audio frames.
inline QByteArray FlacHead(quint32 ARate, quint32 AChannels, quint32 ABits, quint64 ASamples) {
    QByteArray head("fLaC");
    head += char(0x80); // last metadata block, type 0 (STREAMINFO)
    head += QByteArray::fromHex("000022");
    head += QByteArray::fromHex("10001000"); // block sizes 4096
    head += QByteArray::fromHex("000000000000");
    head += char(ARate >> 12);
    head += char(ARate >> 4);
    head += char(((ARate & 0xf) << 4) | ((AChannels - 1) << 1) | ((ABits - 1) >> 4));
    head += char((((ABits - 1) & 0xf) << 4) | ((ASamples >> 32) & 0xf));
    head += char(ASamples >> 24);
    head += char(ASamples >> 16);
    head += char(ASamples >> 8);
    head += char(ASamples);
    head += QByteArray(16, '\x5a');            // MD5
    head += QByteArray::fromHex("fff8c90c00"); // start of a frame
    return head;
}

// The "vt" value as a client writes it: Base64 in lines of 76 characters
// ending in CR LF (also the last full line), then URL-encoded.
inline QByteArray EncodeVoiceTrack(const QByteArray &AFile) {
    const QByteArray base64 = AFile.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < base64.size(); i += 76) {
        const QByteArray line = base64.mid(i, 76);
        lines += line;
        if (line.size() == 76)
            lines += "\r\n";
    }
    return QUrl::toPercentEncoding(QString::fromLatin1(lines));
}

inline std::string UploadForm(const QByteArray &AUser, const QByteArray &APass,
                              const QString &AFileName, int APos, const QByteArray &AFile) {
    return ("user=" + AUser + "&pass=" + APass +
            "&action=vocarra&fn=" + QUrl::toPercentEncoding(AFileName) +
            "&pos=" + QByteArray::number(APos) + "&vt=" + EncodeVoiceTrack(AFile))
        .toStdString();
}

// The attributes of every element named AElement, in document order; fails
// the test when the document is not well-formed XML.
inline std::vector<std::map<QString, QString>> Elements(const std::string &ADocument,
                                                        const QString &AElement) {
    std::vector<std::map<QString, QString>> result;
    QXmlStreamReader reader(QByteArray::fromStdString(ADocument));
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == AElement) {
            std::map<QString, QString> attributes;
            for (const QXmlStreamAttribute &attribute : reader.attributes())
                attributes[attribute.name().toString()] = attribute.value().toString();
            result.push_back(std::move(attributes));
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return result;
}

inline std::vector<QString> CastTitles(const std::string &ADocument) {
    std::vector<QString> titles;
    for (auto &track : Elements(ADocument, QStringLiteral("TRACK")))
        titles.push_back(track[QStringLiteral("CASTTITLE")]);
    return titles;
}
