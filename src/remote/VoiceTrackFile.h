#pragma once
// Where the bytes of a voice track come from while its upload body is
// produced: the file on disk, read piece by piece on the worker, or (for
// tests and benchmarks) bytes already in memory.

#include <QString>
#include <QtGlobal>
#include <memory>
#include <sys/stat.h>

class TVoiceTrackSource {
public:
    virtual ~TVoiceTrackSource() = default;
    // The length the track had when it was opened; the body is built for it.
    virtual qint64 Size() const = 0;
    // Copies exactly AMax bytes from AOffset into ADest. On failure (cannot
    // read, or the track is no longer the one that was opened) returns false
    // with AError set.
    virtual bool ReadAt(qint64 AOffset, char *ADest, qint64 AMax, QString &AError) const = 0;
    // After the last byte has been read: false with AError set when the track
    // has grown or changed since it was opened.
    virtual bool CheckUnchanged(QString &AError) const = 0;
};

// A regular file, opened on the caller's thread and read with positioned
// reads (any thread, one at a time). Its size and modification time at
// opening stand for its content: a change of either while the upload runs
// makes the next read fail, so that a changed file is never sent as whole.
class TVoiceTrackFile final : public TVoiceTrackSource {
public:
    // Null with AError set ("Cannot open file ...") when APath cannot be
    // opened or is not a regular file. APath may hold names that are not
    // UTF-8 (see core/NativeNames.h).
    static std::unique_ptr<TVoiceTrackFile> Open(const QString &APath, QString &AError);
    ~TVoiceTrackFile() override;
    TVoiceTrackFile(const TVoiceTrackFile &) = delete;
    TVoiceTrackFile &operator=(const TVoiceTrackFile &) = delete;

    qint64 Size() const override { return FSize; }
    bool ReadAt(qint64 AOffset, char *ADest, qint64 AMax, QString &AError) const override;
    bool CheckUnchanged(QString &AError) const override;

private:
    TVoiceTrackFile(int AFd, const QString &APath, const struct stat &AInfo);
    bool StillTheSame(QString &AError) const;
    QString ChangedText() const;

    int FFd;
    QString FPath;
    qint64 FSize;
    struct timespec FModified;
};
