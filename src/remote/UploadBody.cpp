#include "remote/UploadBody.h"

#include "remote/VoiceTrackFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Track bytes read and encoded at a time: whole Base64 lines (57 bytes each),
// so that every piece but the last ends a line and the pieces' encodings
// joined are the encoding of the whole track.
constexpr qint64 PieceBytes = 57 * 4096;

// A track already in memory.
class TMemoryTrack final : public TVoiceTrackSource {
public:
    explicit TMemoryTrack(QByteArray ABytes) : FBytes(std::move(ABytes)) {}
    qint64 Size() const override { return FBytes.size(); }
    bool ReadAt(qint64 AOffset, char *ADest, qint64 AMax, QString &) const override {
        std::memcpy(ADest, FBytes.constData() + AOffset, static_cast<std::size_t>(AMax));
        return true;
    }
    bool CheckUnchanged(QString &) const override { return true; }

private:
    QByteArray FBytes;
};

} // namespace

TUploadBody::TUploadBody(QByteArray APrefix, QByteArray AFileBytes)
    : TUploadBody(std::move(APrefix), std::make_unique<TMemoryTrack>(std::move(AFileBytes))) {}

TUploadBody::TUploadBody(QByteArray APrefix, std::unique_ptr<TVoiceTrackSource> ASource)
    : FPrefix(std::move(APrefix)), FSource(std::move(ASource)) {}

TUploadBody::~TUploadBody() = default;

void TUploadBody::Fail(const QString &AError) const {
    if (FFailed)
        return;
    FFailed = true;
    FError = AError;
}

qint64 TUploadBody::Size() const {
    // A counting pass over the whole track: worth doing once only.
    if (FSize >= 0)
        return FSize;
    const qint64 size = FSource->Size();
    std::vector<char> piece(static_cast<std::size_t>(std::min(size, PieceBytes)));
    qint64 total = FPrefix.size();
    QString error;
    for (qint64 offset = 0; offset < size && !FFailed;) {
        const qint64 n = std::min(PieceBytes, size - offset);
        if (!FSource->ReadAt(offset, piece.data(), n, error)) {
            Fail(error);
            break;
        }
        total += EncodedVoiceTrackSize(QByteArrayView(piece.data(), n));
        offset += n;
    }
    if (!FFailed && !FSource->CheckUnchanged(error))
        Fail(error);
    FSize = total;
    return FSize;
}

bool TUploadBody::NextPiece(TCursor &ACursor) const {
    const qint64 size = FSource->Size();
    const qint64 n = std::min(PieceBytes, size - ACursor.Offset);
    QString error;
    ACursor.Piece.resize(static_cast<std::size_t>(std::max<qint64>(n, 0)));
    if (n > 0 && !FSource->ReadAt(ACursor.Offset, ACursor.Piece.data(), n, error)) {
        Fail(error);
        return false;
    }
    ACursor.Offset += std::max<qint64>(n, 0);
    const bool last = ACursor.Offset >= size;
    // Everything is checked before the piece's bytes go out: the last piece
    // completes the body, and a receiver must never get a complete body
    // built from a file that changed on the way.
    if (last && !FSource->CheckUnchanged(error)) {
        Fail(error);
        return false;
    }
    const QByteArrayView bytes(ACursor.Piece.data(), n);
    ACursor.Planned += EncodedVoiceTrackSize(bytes);
    const qint64 announced = Size() - FPrefix.size();
    if (ACursor.Planned > announced || (last && ACursor.Planned != announced)) {
        // Same size and time, different content: still not what was counted.
        Fail(QStringLiteral("The file changed while it was being sent."));
        return false;
    }
    ACursor.Encoder = TVoiceTrackEncoder(QByteArray::fromRawData(ACursor.Piece.data(), n));
    ACursor.Finished = last;
    return true;
}

std::size_t TUploadBody::ReadWith(TCursor &ACursor, char *ADest, std::size_t AMax) const {
    if (AMax == 0 || FFailed)
        return 0;
    std::size_t n = 0;
    if (ACursor.PrefixSent < FPrefix.size()) {
        n = std::min<std::size_t>(AMax,
                                  static_cast<std::size_t>(FPrefix.size() - ACursor.PrefixSent));
        std::memcpy(ADest, FPrefix.constData() + ACursor.PrefixSent, n);
        ACursor.PrefixSent += static_cast<qsizetype>(n);
    }
    while (n < AMax) {
        const std::size_t got = ACursor.Encoder.Read(ADest + n, AMax - n);
        n += got;
        if (got > 0)
            continue;
        if (ACursor.Finished)
            break;
        if (!NextPiece(ACursor))
            return 0;
    }
    return n;
}

std::size_t TUploadBody::Read(char *ADest, std::size_t AMax) {
    return ReadWith(FCursor, ADest, AMax);
}

void TUploadBody::Rewind() {
    FCursor.PrefixSent = 0;
    FCursor.Offset = 0;
    FCursor.Planned = 0;
    FCursor.Finished = false;
    FCursor.Encoder = TVoiceTrackEncoder(QByteArray());
}

QByteArray TUploadBody::All() const {
    QByteArray out(Size(), Qt::Uninitialized);
    // A cursor of its own, so that a transfer in progress is not disturbed.
    TCursor cursor;
    qsizetype done = 0;
    while (done < out.size()) {
        const std::size_t got =
            ReadWith(cursor, out.data() + done, static_cast<std::size_t>(out.size() - done));
        if (got == 0)
            break;
        done += static_cast<qsizetype>(got);
    }
    out.truncate(done);
    return out;
}
