#include "vst/VstScanCache.h"

#include "config/AtomicFile.h"
#include "config/ConfigErrors.h"
#include "core/NativeNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Raised whenever what an entry means changes; older files are then ignored.
constexpr int FormatVersion = 1;

QString KindName(TVstCacheKind AKind) {
    switch (AKind) {
    case vcDescribed:
        return u"described"_s;
    case vcLeftOut:
        return u"left-out"_s;
    case vcFailed:
        return u"failed"_s;
    }
    return QString();
}

std::optional<TVstCacheKind> KindOfName(const QString &AName) {
    for (TVstCacheKind kind : {vcDescribed, vcLeftOut, vcFailed})
        if (KindName(kind) == AName)
            return kind;
    return std::nullopt;
}

// Sizes and times as text: JSON numbers are doubles and would round
// nanosecond times.
qint64 Number(const QJsonValue &AValue, bool &AOk) {
    bool ok = false;
    const qint64 number = AValue.toString().toLongLong(&ok);
    AOk = AOk && ok;
    return number;
}

} // namespace

const QString TVstScanCache::FileName = u"vst-cache.json"_s;

std::optional<TVstFileStamp> VstFileStamp(const QString &APath) {
    struct stat info {};
    if (::stat(NativeName(APath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return TVstFileStamp{static_cast<qint64>(info.st_size),
                         static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 +
                             static_cast<qint64>(info.st_mtim.tv_nsec)};
}

void TVstScanCache::Load() {
    FEntries.clear();
    FChanged = false;
    QByteArray data;
    try {
        data = ReadWholeFile(FFile);
    } catch (const std::exception &) {
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return;
    const QJsonObject root = document.object();
    if (root.value(u"version"_s).toInt() != FormatVersion)
        return;
    if (FProber) {
        bool ok = true;
        const QJsonObject prober = root.value(u"prober"_s).toObject();
        const TVstFileStamp stamp{Number(prober.value(u"size"_s), ok),
                                  Number(prober.value(u"mtimeNs"_s), ok)};
        if (!ok || stamp != *FProber)
            return;
    }
    const QJsonArray entries = root.value(u"entries"_s).toArray();
    for (const auto &value : entries) {
        const QJsonObject object = value.toObject();
        const QString path = object.value(u"path"_s).toString();
        const std::optional<TVstCacheKind> kind = KindOfName(object.value(u"kind"_s).toString());
        bool ok = !path.isEmpty() && kind.has_value();
        TVstCacheEntry entry;
        entry.Stamp.Size = Number(object.value(u"size"_s), ok);
        entry.Stamp.MTimeNs = Number(object.value(u"mtimeNs"_s), ok);
        if (!ok)
            continue; // this entry is lost, not the rest
        entry.Kind = *kind;
        if (entry.Kind == vcDescribed)
            entry.Info = ProbeInfoOfObject(object.value(u"info"_s).toObject());
        entry.Reason = object.value(u"reason"_s).toString();
        FEntries[path] = std::move(entry);
    }
}

void TVstScanCache::Save() {
    if (!FChanged)
        return;
    QJsonArray entries;
    for (const auto &[path, entry] : FEntries) {
        QJsonObject object{{u"path"_s, path},
                           {u"size"_s, QString::number(entry.Stamp.Size)},
                           {u"mtimeNs"_s, QString::number(entry.Stamp.MTimeNs)},
                           {u"kind"_s, KindName(entry.Kind)}};
        if (entry.Kind == vcDescribed)
            object.insert(u"info"_s, ProbeInfoObject(entry.Info));
        if (entry.Kind == vcFailed)
            object.insert(u"reason"_s, entry.Reason);
        entries.append(object);
    }
    QJsonObject root{{u"version"_s, FormatVersion}, {u"entries"_s, entries}};
    if (FProber)
        root.insert(u"prober"_s, QJsonObject{{u"size"_s, QString::number(FProber->Size)},
                                             {u"mtimeNs"_s, QString::number(FProber->MTimeNs)}});
    try {
        WriteFileAtomically(FFile, QJsonDocument(root).toJson(QJsonDocument::Indented));
        FChanged = false;
    } catch (const std::exception &) {
        // Kept changed: a later save may succeed.
    }
}

const TVstCacheEntry *TVstScanCache::Find(const QString &APath, const TVstFileStamp &AStamp) const {
    const auto found = FEntries.find(APath);
    if (found == FEntries.end() || found->second.Stamp != AStamp)
        return nullptr;
    return &found->second;
}

void TVstScanCache::Put(const QString &APath, const TVstCacheEntry &AEntry) {
    auto &slot = FEntries[APath];
    if (slot == AEntry)
        return;
    slot = AEntry;
    FChanged = true;
}

void TVstScanCache::DropMissing() {
    for (auto it = FEntries.begin(); it != FEntries.end();) {
        if (!VstFileStamp(it->first)) {
            it = FEntries.erase(it);
            FChanged = true;
        } else {
            ++it;
        }
    }
}
