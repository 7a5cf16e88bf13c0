// The scan cache as a file: what it keeps, when an entry still holds, and
// that a file it cannot use counts as empty.

#include "vst/VstScanCache.h"

#include "vst/VstScanSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

class VstScanCacheTest : public testing::Test {
protected:
    QString CacheFile() const { return FDir.filePath(TVstScanCache::FileName); }

    void WriteCache(const QByteArray &AData) const {
        QFile file(CacheFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(AData);
    }

    static TVstCacheEntry Described() {
        TVstCacheEntry entry;
        entry.Stamp = {1234, 1700000000123456789};
        entry.Kind = vcDescribed;
        entry.Info.Vendor = u"Vendor"_s;
        entry.Info.Effect = u"Effect"_s;
        entry.Info.NumParams = 3;
        entry.Info.HasEditor = true;
        return entry;
    }

    QTemporaryDir FDir;
};

TEST_F(VstScanCacheTest, KeepsEveryKindOfOutcomeAcrossASave) {
    TVstCacheEntry leftOut;
    leftOut.Stamp = {10, 20};
    leftOut.Kind = vcLeftOut;
    TVstCacheEntry failed;
    failed.Stamp = {30, 40};
    failed.Kind = vcFailed;
    failed.Reason = u"crashed with signal 11 (SIGSEGV)"_s;
    {
        TVstScanCache cache(CacheFile());
        cache.Put(u"/vst/a.so"_s, Described());
        cache.Put(u"/vst/b.so"_s, leftOut);
        cache.Put(u"/vst/c.so"_s, failed);
        cache.Save();
    }
    TVstScanCache cache(CacheFile());
    cache.Load();
    EXPECT_EQ(cache.Count(), 3);
    ASSERT_NE(cache.Find(u"/vst/a.so"_s, Described().Stamp), nullptr);
    EXPECT_EQ(*cache.Find(u"/vst/a.so"_s, Described().Stamp), Described());
    ASSERT_NE(cache.Find(u"/vst/b.so"_s, leftOut.Stamp), nullptr);
    EXPECT_EQ(*cache.Find(u"/vst/b.so"_s, leftOut.Stamp), leftOut);
    ASSERT_NE(cache.Find(u"/vst/c.so"_s, failed.Stamp), nullptr);
    EXPECT_EQ(*cache.Find(u"/vst/c.so"_s, failed.Stamp), failed);
    EXPECT_FALSE(cache.Changed());
}

TEST_F(VstScanCacheTest, WhatAnotherBuildOfTheHelperLearntCountsAsNothing) {
    const TVstFileStamp helper{5000, 42};
    {
        TVstScanCache cache(CacheFile(), helper);
        cache.Put(u"/vst/a.so"_s, Described());
        cache.Save();
    }
    struct TCase {
        std::optional<TVstFileStamp> Prober;
        qsizetype Count;
    };
    for (const TCase &c : {TCase{helper, 1}, TCase{TVstFileStamp{5000, 43}, 0},
                           TCase{TVstFileStamp{5001, 42}, 0}, TCase{std::nullopt, 1}}) {
        TVstScanCache cache(CacheFile(), c.Prober);
        cache.Load();
        EXPECT_EQ(cache.Count(), c.Count);
    }
}

TEST_F(VstScanCacheTest, AnEntryHoldsOnlyForTheSameSizeAndTime) {
    TVstScanCache cache(CacheFile());
    cache.Put(u"/vst/a.so"_s, Described());
    const TVstFileStamp stamp = Described().Stamp;
    EXPECT_NE(cache.Find(u"/vst/a.so"_s, stamp), nullptr);
    EXPECT_EQ(cache.Find(u"/vst/a.so"_s, {stamp.Size + 1, stamp.MTimeNs}), nullptr);
    // One nanosecond is a change: the time is kept whole, not as a double.
    EXPECT_EQ(cache.Find(u"/vst/a.so"_s, {stamp.Size, stamp.MTimeNs + 1}), nullptr);
    EXPECT_EQ(cache.Find(u"/vst/other.so"_s, stamp), nullptr);
    cache.Save();
    TVstScanCache again(CacheFile());
    again.Load();
    EXPECT_EQ(again.Find(u"/vst/a.so"_s, {stamp.Size, stamp.MTimeNs + 1}), nullptr);
    EXPECT_NE(again.Find(u"/vst/a.so"_s, stamp), nullptr);
}

TEST_F(VstScanCacheTest, WritesOnlyWhenSomethingChanged) {
    TVstScanCache cache(CacheFile());
    cache.Load();
    cache.Save();
    EXPECT_FALSE(QFile::exists(CacheFile()));
    cache.Put(u"/vst/a.so"_s, Described());
    EXPECT_TRUE(cache.Changed());
    cache.Save();
    EXPECT_TRUE(QFile::exists(CacheFile()));
    EXPECT_FALSE(cache.Changed());
    cache.Put(u"/vst/a.so"_s, Described());
    EXPECT_FALSE(cache.Changed()) << "the same entry again changes nothing";
}

TEST_F(VstScanCacheTest, AFileItCannotUseIsAnEmptyCache) {
    for (const QByteArray &data :
         {QByteArray("not json at all"), QByteArray("[1, 2]"),
          QByteArray("{\"version\": 99, "
                     "\"entries\": []}"),
          QByteArray(), QByteArray("{\"version\":1,\"entries\":[{\"path\":")}) {
        SCOPED_TRACE(data.toStdString());
        WriteCache(data);
        TVstScanCache cache(CacheFile());
        cache.Load();
        EXPECT_EQ(cache.Count(), 0);
    }
    TVstScanCache missing(FDir.filePath(u"nothing-here.json"_s));
    missing.Load();
    EXPECT_EQ(missing.Count(), 0);
}

TEST_F(VstScanCacheTest, ABadEntryCostsThatEntryOnly) {
    WriteCache(R"({"version": 1, "entries": [
        {"path": "/vst/a.so", "size": "1", "mtimeNs": "2", "kind": "left-out"},
        {"path": "/vst/b.so", "size": 1, "mtimeNs": "2", "kind": "left-out"},
        {"path": "/vst/c.so", "size": "1", "mtimeNs": "2", "kind": "sideways"},
        {"path": "/vst/d.so", "size": "1", "mtimeNs": "2", "kind": "failed", "reason": "r"}]})");
    TVstScanCache cache(CacheFile());
    cache.Load();
    EXPECT_EQ(cache.Count(), 2);
    EXPECT_NE(cache.Find(u"/vst/a.so"_s, {1, 2}), nullptr);
    ASSERT_NE(cache.Find(u"/vst/d.so"_s, {1, 2}), nullptr);
    EXPECT_EQ(cache.Find(u"/vst/d.so"_s, {1, 2})->Reason, u"r"_s);
}

TEST_F(VstScanCacheTest, DropsFilesThatAreGone) {
    const QString present = CopyTestPlugin(u"gain"_s, FDir.path());
    TVstScanCache cache(CacheFile());
    cache.Put(present, Described());
    cache.Put(FDir.filePath(u"gone.so"_s), Described());
    cache.DropMissing();
    EXPECT_EQ(cache.Count(), 1);
}

TEST_F(VstScanCacheTest, TheStampIsTheFilesSizeAndNanosecondTime) {
    const QString path = CopyTestPlugin(u"gain"_s, FDir.path());
    const timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    const std::optional<TVstFileStamp> stamp = VstFileStamp(path);
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->Size, QFileInfo(path).size());
    EXPECT_EQ(stamp->MTimeNs, 1600000000987654321);
    EXPECT_FALSE(VstFileStamp(FDir.filePath(u"gone.so"_s)).has_value());
    EXPECT_FALSE(VstFileStamp(FDir.path()).has_value()) << "a folder has no stamp";
}

} // namespace
