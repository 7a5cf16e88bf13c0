#pragma once
// The body of an upload, produced piece by piece while it is sent.

#include "remote/UrlEncoding.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>

// Holds the form's leading items ("user=...&...&vt=") and the voice track's
// raw bytes; the encoded "vt" value is produced on demand, so the whole body
// never exists in memory at once. Used by one thread at a time (built on the
// main thread, read on the worker).
class TUploadBody {
public:
    TUploadBody(QByteArray APrefix, QByteArray AFileBytes);

    // Total length of the body in bytes (computed once, on first use).
    qint64 Size() const;

    // Copies the next bytes of the body into ADest; returns 0 at the end.
    std::size_t Read(char *ADest, std::size_t AMax);

    // Starts again from the first byte (a transport may have to resend).
    void Rewind();

    // The complete body in one piece (tests and benchmarks).
    QByteArray All() const;

private:
    QByteArray FPrefix;
    QByteArray FFile;
    TVoiceTrackEncoder FTrack; // shares FFile's bytes
    qsizetype FPrefixSent = 0;
    mutable qint64 FSize = -1;
};
