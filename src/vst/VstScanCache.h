#pragma once
// What earlier scans learnt about plug-in files, so that a start with an
// unchanged VST folder loads no plug-in at all. An entry is valid for one
// file as it was: its path, its size and its modification time to the
// nanosecond; a file that changed in any of them is probed again. A broken
// plug-in is remembered too, so it is reported without being run again.
//
// The file ("vst-cache.json" in the data directory) is JSON, replaced
// atomically. A cache that cannot be read, or was written by another version
// of the format, counts as empty.
//
// Threads: one owner at a time.

#include "vst/VstProbe.h"

#include <QString>
#include <map>
#include <optional>

// A file's identity for the cache.
struct TVstFileStamp {
    qint64 Size = 0;
    qint64 MTimeNs = 0;

    bool operator==(const TVstFileStamp &) const = default;
};

// The stamp of the file at APath (the target of a link); nothing when it
// cannot be read.
std::optional<TVstFileStamp> VstFileStamp(const QString &APath);

enum TVstCacheKind { vcDescribed, vcLeftOut, vcFailed };

struct TVstCacheEntry {
    TVstFileStamp Stamp;
    TVstCacheKind Kind = vcDescribed;
    TVstProbeInfo Info; // vcDescribed
    QString Reason;     // vcFailed

    bool operator==(const TVstCacheEntry &) const = default;
};

class TVstScanCache {
public:
    // The cache's file name in the data directory.
    static const QString FileName;

    TVstScanCache() = default;
    // AProber: the stamp of the scanning helper that fills the cache. What
    // another build of the helper learnt may no longer hold (its limits
    // change), so a cache of another helper counts as empty.
    explicit TVstScanCache(QString AFile, std::optional<TVstFileStamp> AProber = std::nullopt)
        : FFile(std::move(AFile)), FProber(AProber) {}

    // Reads the file; an unreadable one leaves the cache empty.
    void Load();
    // Writes the file when an entry changed since Load; a failure to write
    // is not reported (the next start probes again, nothing worse).
    void Save();

    // The entry for APath when its stamp is AStamp.
    const TVstCacheEntry *Find(const QString &APath, const TVstFileStamp &AStamp) const;
    void Put(const QString &APath, const TVstCacheEntry &AEntry);
    // Drops entries of files that are gone.
    void DropMissing();

    qsizetype Count() const { return static_cast<qsizetype>(FEntries.size()); }
    bool Changed() const { return FChanged; }
    const QString &File() const { return FFile; }

private:
    QString FFile;
    std::optional<TVstFileStamp> FProber;
    std::map<QString, TVstCacheEntry> FEntries;
    bool FChanged = false;
};
