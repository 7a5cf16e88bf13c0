#pragma once
// The body of an upload, produced piece by piece while it is sent.

#include "remote/UrlEncoding.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <vector>

class TVoiceTrackSource;

// Holds the form's leading items ("user=...&...&vt=") and where the voice
// track's bytes come from; the track is read and encoded a piece at a time
// while it is sent, so memory stays the same whatever the file's size. Used by
// one thread at a time (built on the main thread, read on the worker).
//
// A track that cannot be read, or that changes while it is read, fails the
// body: Read returns 0 from then on and Failed() tells it from the end. The
// check comes before the last piece is handed out, so a receiver never gets
// a body of the announced length built from a changed file.
class TUploadBody {
public:
    // The track already in memory (tests and benchmarks).
    TUploadBody(QByteArray APrefix, QByteArray AFileBytes);
    // The track read from its source while the body is sent.
    TUploadBody(QByteArray APrefix, std::unique_ptr<TVoiceTrackSource> ASource);
    ~TUploadBody();
    TUploadBody(const TUploadBody &) = delete;
    TUploadBody &operator=(const TUploadBody &) = delete;

    // Total length of the body in bytes. The escapes of "+" and "/" make it
    // depend on the content, so the first call reads the whole track once
    // (in pieces) to count them; a failure then shows in Failed().
    qint64 Size() const;

    // Copies the next bytes of the body into ADest; returns 0 at the end and
    // on failure.
    std::size_t Read(char *ADest, std::size_t AMax);

    // Starts again from the first byte (a transport may have to resend). A
    // failure stays.
    void Rewind();

    bool Failed() const { return FFailed; }
    // Why the body failed; empty unless Failed().
    const QString &ErrorText() const { return FError; }

    // The complete body in one piece (tests and benchmarks); shorter than
    // Size() when the body fails.
    QByteArray All() const;

private:
    // How far one reading of the body has come.
    struct TCursor {
        qsizetype PrefixSent = 0;
        qint64 Offset = 0;  // track bytes read so far
        qint64 Planned = 0; // encoded length of the pieces read so far
        bool Finished = false;
        std::vector<char> Piece;
        TVoiceTrackEncoder Encoder{QByteArray()};
    };

    std::size_t ReadWith(TCursor &ACursor, char *ADest, std::size_t AMax) const;
    bool NextPiece(TCursor &ACursor) const;
    void Fail(const QString &AError) const;

    QByteArray FPrefix;
    std::unique_ptr<TVoiceTrackSource> FSource;
    TCursor FCursor;
    mutable qint64 FSize = -1;
    mutable bool FFailed = false;
    mutable QString FError;
};
