#include "SimService.h"

#include "FlacInfo.h"

#include <charconv>

namespace {

const std::string XmlType = "text/xml; charset=utf-8";
const std::string TextType = "text/plain; charset=utf-8";

TSimReply Text(int AStatus, std::string ABody) {
    return {AStatus, TextType, std::move(ABody)};
}

// Compares in a time that does not depend on where the texts differ.
bool SameSecret(std::string_view AGiven, std::string_view AExpected) {
    if (AGiven.size() != AExpected.size())
        return false;
    unsigned diff = 0;
    for (std::size_t i = 0; i < AGiven.size(); ++i)
        diff |= unsigned(quint8(AGiven[i]) ^ quint8(AExpected[i]));
    return diff == 0;
}

const std::string *Find(const TFormFields &AParams, std::string_view AName) {
    const auto it = AParams.find(AName);
    return it == AParams.end() ? nullptr : &it->second;
}

// A whole decimal number and nothing else; nothing for "", "+1", "1x", overflow.
std::optional<int> ParseNumber(const TFormFields &AParams, std::string_view AName) {
    const std::string *text = Find(AParams, AName);
    if (text == nullptr || text->empty())
        return std::nullopt;
    int value = 0;
    const char *end = text->data() + text->size();
    const auto [ptr, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

void AppendEscaped(std::string &ADest, const QString &AText) {
    for (const char c : AText.toUtf8()) {
        switch (c) {
        case '&':
            ADest += "&amp;";
            break;
        case '<':
            ADest += "&lt;";
            break;
        case '>':
            ADest += "&gt;";
            break;
        case '"':
            ADest += "&quot;";
            break;
        case '\'':
            ADest += "&apos;";
            break;
        case '\t':
            ADest += "&#9;";
            break;
        case '\n':
            ADest += "&#10;";
            break;
        case '\r':
            ADest += "&#13;";
            break;
        default:
            // Other control characters cannot appear in XML at all.
            if (quint8(c) >= 0x20)
                ADest += c;
        }
    }
}

void AppendAttribute(std::string &ADest, const char *AName, const QString &AValue) {
    ADest += ' ';
    ADest += AName;
    ADest += "=\"";
    AppendEscaped(ADest, AValue);
    ADest += '"';
}

QString FormatDuration(qint64 AMs) {
    const qint64 seconds = (AMs + 500) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString FormatTimeOfDay(qint64 AMsOfDay) {
    constexpr qint64 day = 24 * 3600 * 1000;
    const qint64 seconds = (((AMsOfDay % day) + day) % day) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// "take 1.flac" from "C:\Users\me\take 1.flac" or "/home/me/take 1.flac".
QString BaseName(const std::string &AFileName) {
    const QString name = QString::fromUtf8(AFileName);
    const qsizetype slash = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return name.mid(slash + 1);
}

} // namespace

void TSimVoiceTrack::Append(std::string_view ABytes) {
    if (Head.size() < HeadLimit)
        Head.append(ABytes.substr(0, HeadLimit - Head.size()));
    Size += qint64(ABytes.size());
}

TSimVoiceTrack DecodeVoiceTrack(std::string_view ABase64) {
    TSimVoiceTrack track;
    TBase64Decoder decoder([&track](std::string_view ABytes) { track.Append(ABytes); });
    decoder.Feed(ABase64);
    track.Malformed = !decoder.Finish();
    return track;
}

TSimRequestDecoder::TSimRequestDecoder()
    : FBase64([this](std::string_view ABytes) { FTrack.Append(ABytes); }),
      FForm("vt", [this](std::string_view ABytes) { FBase64.Feed(ABytes); }) {}

TSimRequest TSimRequestDecoder::Finish() {
    FForm.Finish();
    TSimRequest request;
    request.Params = FForm.Fields();
    if (FForm.HasStreamed()) {
        FTrack.Malformed = !FBase64.Finish();
        request.VoiceTrack = std::move(FTrack);
    }
    return request;
}

TSimService::TSimService(TSimPlaylist &APlaylist, std::string AUser, std::string APass)
    : FPlaylist(APlaylist), FUser(std::move(AUser)), FPass(std::move(APass)) {}

TSimReply TSimService::Handle(const TSimRequest &ARequest) {
    const std::string *user = Find(ARequest.Params, "user");
    const std::string *pass = Find(ARequest.Params, "pass");
    // Both checks always run, so the answer takes as long for a wrong user as for a wrong password.
    const bool userOk = user != nullptr && SameSecret(*user, FUser);
    const bool passOk = pass != nullptr && SameSecret(*pass, FPass);
    if (!userOk || !passOk)
        return Text(403, "Access denied");

    const std::string *actionText = Find(ARequest.Params, "action");
    const std::string action = actionText == nullptr ? std::string() : *actionText;
    if (action == "getplaylist2")
        return {200, XmlType, PlaylistDocument(FPlaylist.Snapshot())};
    if (action == "playbackinfo")
        return {200, XmlType, PlaybackDocument(FPlaylist.Snapshot())};
    if (action == "delete") {
        const std::optional<int> pos = ParseNumber(ARequest.Params, "pos");
        switch (pos ? FPlaylist.Delete(*pos) : erInvalidPosition) {
        case erOk:
            return Text(200, "OK");
        case erPlayingEntry:
            return Text(409, "Cannot delete the playing entry");
        case erInvalidPosition:
            break;
        }
        return Text(400, "Invalid position");
    }
    if (action == "move") {
        const std::optional<int> from = ParseNumber(ARequest.Params, "pos1");
        const std::optional<int> to = ParseNumber(ARequest.Params, "pos2");
        if (from && to && FPlaylist.Swap(*from, *to) == erOk)
            return Text(200, "OK");
        return Text(400, "Invalid position");
    }
    if (action == "vocarra")
        return Upload(ARequest);
    return Text(400, "Unknown action");
}

TSimReply TSimService::Upload(const TSimRequest &ARequest) {
    if (!ARequest.VoiceTrack)
        return Text(400, "Missing voice track");
    if (ARequest.VoiceTrack->Malformed)
        return Text(400, "Malformed voice track encoding");
    const std::optional<int> pos = ParseNumber(ARequest.Params, "pos");
    if (!pos)
        return Text(400, "Invalid position");
    const std::optional<TFlacStreamInfo> info = ReadFlacStreamInfo(ARequest.VoiceTrack->Head);
    if (!info)
        return Text(415, "Not a FLAC file");

    TSimEntry entry;
    const std::string *fn = Find(ARequest.Params, "fn");
    entry.FileName = fn == nullptr ? QString() : BaseName(*fn);
    const qsizetype dot = entry.FileName.lastIndexOf(u'.');
    entry.Title = dot > 0 ? entry.FileName.left(dot) : entry.FileName;
    if (entry.Title.trimmed().isEmpty())
        entry.Title = QStringLiteral("Voice track");
    entry.DurationMs = info->DurationMs();
    if (FPlaylist.Insert(*pos, std::move(entry)) != erOk)
        return Text(400, "Invalid position");
    return Text(200, "OK");
}

std::string TSimService::PlaylistDocument(const TSimSnapshot &ASnapshot) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PLAYLIST>\n";
    for (std::size_t i = 0; i < ASnapshot.Entries.size(); ++i) {
        const TSimEntry &entry = ASnapshot.Entries[i];
        const qint64 start = ASnapshot.MsOfDay + ASnapshot.StartOffsetMs(int(i));
        xml += "<TRACK";
        AppendAttribute(xml, "CASTTITLE", entry.CastTitle());
        AppendAttribute(xml, "DURATION", FormatDuration(entry.DurationMs));
        AppendAttribute(xml, "STARTTIME", FormatTimeOfDay(start));
        AppendAttribute(xml, "ITEMTITLE", entry.CastTitle());
        AppendAttribute(xml, "FILENAME", entry.FileName);
        xml += "/>\n";
    }
    xml += "</PLAYLIST>\n";
    return xml;
}

std::string TSimService::PlaybackDocument(const TSimSnapshot &ASnapshot) {
    const int count = int(ASnapshot.Entries.size());
    const bool playing = ASnapshot.Playing >= 0 && ASnapshot.Playing < count;
    QString current, next;
    qint64 len = 0;
    if (playing) {
        const TSimEntry &entry = ASnapshot.Entries[std::size_t(ASnapshot.Playing)];
        current = entry.CastTitle();
        next = ASnapshot.Entries[std::size_t((ASnapshot.Playing + 1) % count)].CastTitle();
        len = entry.DurationMs;
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PlaybackInfo>\n<Playback";
    AppendAttribute(xml, "playlistpos", QString::number(playing ? ASnapshot.Playing + 1 : -1));
    AppendAttribute(xml, "pos", QString::number(playing ? ASnapshot.PosMs : 0));
    AppendAttribute(xml, "len", QString::number(len));
    AppendAttribute(xml, "state", playing ? QStringLiteral("play") : QStringLiteral("stop"));
    xml += "/>\n<CurrentTrack><TRACK";
    AppendAttribute(xml, "ITEMTITLE", current);
    xml += "/></CurrentTrack>\n<NextTrack><TRACK";
    AppendAttribute(xml, "ITEMTITLE", next);
    xml += "/></NextTrack>\n</PlaybackInfo>\n";
    return xml;
}

std::string TSimService::Describe(const TSimRequest &ARequest) {
    std::string text;
    for (const char *name : {"action", "user", "pos", "pos1", "pos2", "fn"}) {
        const std::string *value = Find(ARequest.Params, name);
        if (value == nullptr)
            continue;
        if (!text.empty())
            text += ' ';
        text += name;
        text += '=';
        // Keep the log one line per request whatever a client sends.
        for (const char c : value->substr(0, 200))
            text += quint8(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    if (ARequest.VoiceTrack)
        text += " vt=" + std::to_string(ARequest.VoiceTrack->Size) + " bytes";
    return text;
}
