// The preset files of the effect editors: the block layout byte for byte,
// the hex text both ways, what damaged values yield, the folders and the
// listing, and writing into real files in a temporary folder.

#include "dsp/EffectPresets.h"

#include "config/ConfigErrors.h"
#include "config/IniFile.h"
#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray FileBytes(const QString &APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteBytes(const QString &APath, const QByteArray &ABytes) {
    QFile file(APath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ABytes);
}

} // namespace

TEST(PresetBlocks, EqualiserWorkedExample) {
    TEqPreset gains{};
    gains[0] = 3;
    gains[1] = -2;
    const QString hex = BlockToHex(EqPresetToBlock(gains));
    EXPECT_EQ(hex, u"03000000FEFFFFFF"_s + QString(80, u'0'));
    EXPECT_EQ(EqPresetFromBlock(HexToBlock(hex, 48)), gains);
}

TEST(PresetBlocks, CompressorIsFiveLittleEndianDoubles) {
    const TCompressorPreset values{4, -16, 5, 10, 200};
    const QByteArray block = CompressorPresetToBlock(values);
    ASSERT_EQ(block.size(), 40);
    // 4.0 = 0x4010000000000000, low byte first.
    EXPECT_EQ(BlockToHex(block.first(8)), u"0000000000001040"_s);
    // -16.0 = 0xC030000000000000.
    EXPECT_EQ(BlockToHex(block.sliced(8, 8)), u"00000000000030C0"_s);
    EXPECT_EQ(CompressorPresetFromBlock(block), values);
}

TEST(PresetBlocks, DamagedHexYieldsWhatItHolds) {
    const struct {
        const char *Name;
        QString Text;
        qsizetype Max;
        QByteArray Expected;
    } cases[] = {
        {"empty", u""_s, 48, QByteArray()},
        {"short", u"0300"_s, 48, QByteArray("\x03\x00", 2)},
        {"lower case", u"fe0a"_s, 48, QByteArray("\xFE\x0A", 2)},
        {"lone last digit", u"030"_s, 48, QByteArray("\x03", 1)},
        {"not hex after one byte", u"03ZZ04"_s, 48, QByteArray("\x03", 1)},
        {"not hex at once", u"G1"_s, 48, QByteArray()},
        {"long", u"0102030405"_s, 2, QByteArray("\x01\x02", 2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(HexToBlock(c.Text, c.Max), c.Expected);
    }
}

TEST(PresetBlocks, MissingBytesCountAsZero) {
    const TEqPreset gains = EqPresetFromBlock(QByteArray("\x05\x00\x00\x00\xFF", 5));
    EXPECT_EQ(gains[0], 5);
    EXPECT_EQ(gains[1], 0xFF); // the second value's low byte alone
    for (int i = 2; i < EqPresetBands; ++i)
        EXPECT_EQ(gains[size_t(i)], 0);
    EXPECT_EQ(CompressorPresetFromBlock(QByteArray()), TCompressorPreset{});
}

TEST(PresetBlocks, NonFiniteCompressorValuesReadAsZero) {
    const TCompressorPreset values{std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(), 2, 3, 4};
    EXPECT_EQ(CompressorPresetFromBlock(CompressorPresetToBlock(values)),
              (TCompressorPreset{0, 0, 2, 3, 4}));
}

TEST(PresetBlocks, FromParams) {
    // Ten bands in use: the last two values are 0; a fraction is no whole number.
    const std::optional<TEqPreset> eq = EqPresetFromParams(
        {u"3"_s, u"-2"_s, u"2.5"_s, u"x"_s, u"+4"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"1"_s});
    ASSERT_TRUE(eq);
    EXPECT_EQ(*eq, (TEqPreset{3, -2, 0, 0, 4, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_FALSE(EqPresetFromParams(QStringList(13, u"1"_s)));
    EXPECT_EQ(EqPresetFromParams({}), TEqPreset{});

    const std::optional<TCompressorPreset> comp =
        CompressorPresetFromParams({u"4"_s, u"-16.5"_s, u"5,0"_s, u"1E1"_s});
    ASSERT_TRUE(comp);
    // A comma is no decimal separator here.
    EXPECT_EQ(*comp, (TCompressorPreset{4, -16.5, 0, 10, 0}));
    EXPECT_FALSE(CompressorPresetFromParams(QStringList(6, u"1"_s)));
}

class PresetFiles : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString DataDir() const { return Dir.path() + u'/'; }
};

TEST_F(PresetFiles, FoldersBelowTheDataDirectory) {
    EXPECT_EQ(PresetFolder(EqPresetKind(), DataDir()), DataDir() + u"Presets/Equalizer/"_s);
    EXPECT_EQ(PresetFolder(CompressorPresetKind(), DataDir()),
              DataDir() + u"Presets/Compressor/"_s);
}

TEST_F(PresetFiles, WriteCreatesTheFolderAndTheExactText) {
    const QString path = PresetFolder(EqPresetKind(), DataDir()) + u"Voice.eqp"_s;
    TEqPreset gains{};
    gains[0] = 3;
    gains[1] = -2;
    WritePresetBlock(EqPresetKind(), path, EqPresetToBlock(gains));
    EXPECT_EQ(FileBytes(path),
              "[Equalizer]\r\nSettings=03000000FEFFFFFF" + QByteArray(80, '0') + "\r\n");
    const std::optional<QByteArray> block = ReadPresetBlock(EqPresetKind(), path);
    ASSERT_TRUE(block);
    EXPECT_EQ(EqPresetFromBlock(*block), gains);
}

TEST_F(PresetFiles, RewriteKeepsOtherSectionsAndKeys) {
    const QString path = DataDir() + u"Mine.cmp"_s;
    WriteBytes(path, "[Note]\nBy=me\n[Compressor]\nSettings=00\nOther=1\n");
    WritePresetBlock(CompressorPresetKind(), path, CompressorPresetToBlock({1, 2, 3, 4, 5}));
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"Note"_s, u"By"_s, {}), u"me"_s);
    EXPECT_EQ(ini.ReadString(u"Compressor"_s, u"Other"_s, {}), u"1"_s);
    EXPECT_EQ(ini.ReadString(u"Compressor"_s, u"Settings"_s, {}).size(), 80);
}

TEST_F(PresetFiles, MissingOrUnreadableFilesYieldNothing) {
    EXPECT_FALSE(ReadPresetBlock(EqPresetKind(), DataDir() + u"none.eqp"_s));
    EXPECT_FALSE(ReadPresetBlock(EqPresetKind(), DataDir())); // a folder
    const QString locked = DataDir() + u"locked.eqp"_s;
    WriteBytes(locked, "[Equalizer]\nSettings=01000000\n");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (::access(locked.toLocal8Bit().constData(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(ReadPresetBlock(EqPresetKind(), locked));
}

TEST_F(PresetFiles, FileWithoutTheKeyGivesAnEmptyBlock) {
    const QString path = DataDir() + u"empty.eqp"_s;
    WriteBytes(path, "[Other]\nSettings=01\n");
    const std::optional<QByteArray> block = ReadPresetBlock(EqPresetKind(), path);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->isEmpty());
}

TEST_F(PresetFiles, FolderThatCannotBeCreatedRaises) {
    // A file where the folder should be.
    WriteBytes(DataDir() + u"Presets"_s, "x");
    const QString path = PresetFolder(EqPresetKind(), DataDir()) + u"A.eqp"_s;
    try {
        WritePresetBlock(EqPresetKind(), path, EqPresetToBlock({}));
        FAIL() << "no error";
    } catch (const EFileError &error) {
        EXPECT_TRUE(error.Message().contains(u"Presets"_s)) << error.Message().toStdString();
    }
}

TEST_F(PresetFiles, ListingMatchesTheExtensionDirectlyInTheFolder) {
    const QString folder = PresetFolder(EqPresetKind(), DataDir());
    ASSERT_TRUE(QDir().mkpath(folder + u"Sub"_s));
    for (const char *name : {"b.eqp", "a.eqp", "c.cmp", "Sub/d.eqp", "eqp"})
        WriteBytes(folder + QString::fromLatin1(name), "");
    EXPECT_EQ(GetPresetList(folder, u"eqp"_s),
              (QStringList{folder + u"a.eqp"_s, folder + u"b.eqp"_s}));
    EXPECT_EQ(PresetNameOfFile(folder + u"a.b.eqp"_s), u"a.b"_s);
    EXPECT_TRUE(GetPresetList(DataDir() + u"missing/"_s, u"eqp"_s).isEmpty());
    EXPECT_TRUE(GetPresetList(QString(), u"eqp"_s).isEmpty());
    EXPECT_TRUE(GetPresetList(folder + u"a.eqp"_s, u"eqp"_s).isEmpty());
}
