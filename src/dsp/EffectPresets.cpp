#include "dsp/EffectPresets.h"

#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "config/FloatText.h"
#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

int HexDigit(QChar AChar) {
    const char16_t c = AChar.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Params text as the chain stores it: "." decimals, 0 when unreadable.
double ParamsNumber(const QString &AText) {
    const std::optional<double> value = ParseFloatText(AText);
    return value && std::isfinite(*value) ? *value : 0.0;
}

qint32 ParamsWhole(const QString &AText) {
    // Digits with an optional sign, as the chain reads its settings.
    bool ok = false;
    const qint32 value = AText.toInt(&ok, 10);
    return ok && AText == AText.trimmed() ? value : 0;
}

} // namespace

const TPresetKind &EqPresetKind() {
    static const TPresetKind Kind{u"Presets\\Equalizer\\"_s, u"eqp"_s, u"Equalizer"_s,
                                  u"Settings"_s, EqPresetBands * 4};
    return Kind;
}

const TPresetKind &CompressorPresetKind() {
    static const TPresetKind Kind{u"Presets\\Compressor\\"_s, u"cmp"_s, u"Compressor"_s,
                                  u"Settings"_s, CompressorPresetValues * 8};
    return Kind;
}

QString PresetFolder(const TPresetKind &AKind, const QString &ADataDir) {
    return WithTrailingSeparator(WithTrailingSeparator(ADataDir) +
                                 StoredToNative(AKind.StoredFolder));
}

QString PresetFolder(const TPresetKind &AKind) {
    return PresetFolder(AKind, DataDir());
}

QStringList GetPresetList(const QString &AFolder, const QString &AExtension) {
    if (AFolder.isEmpty() || !QFileInfo(AFolder).isDir())
        return {};
    const QDir folder(AFolder);
    QStringList paths;
    const QFileInfoList files =
        folder.entryInfoList({u"*."_s + AExtension}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &file : files)
        paths << file.filePath();
    return paths;
}

QString PresetNameOfFile(const QString &APath) {
    return QFileInfo(APath).completeBaseName();
}

QString BlockToHex(QByteArrayView ABlock) {
    return QString::fromLatin1(QByteArray(ABlock.data(), ABlock.size()).toHex().toUpper());
}

QByteArray HexToBlock(QStringView AText, qsizetype AMaxBytes) {
    QByteArray block;
    for (qsizetype i = 0; i + 1 < AText.size() && block.size() < AMaxBytes; i += 2) {
        const int high = HexDigit(AText[i]);
        const int low = HexDigit(AText[i + 1]);
        if (high < 0 || low < 0)
            break;
        block.append(char(high * 16 + low));
    }
    return block;
}

TEqPreset EqPresetFromBlock(QByteArrayView ABlock) {
    TEqPreset gains{};
    QByteArray full(ABlock.data(), std::min<qsizetype>(ABlock.size(), EqPresetBands * 4));
    full.resize(EqPresetBands * 4, '\0');
    for (int i = 0; i < EqPresetBands; ++i)
        gains[size_t(i)] = qFromLittleEndian<qint32>(full.constData() + 4 * i);
    return gains;
}

QByteArray EqPresetToBlock(const TEqPreset &AGains) {
    QByteArray block(EqPresetBands * 4, '\0');
    for (int i = 0; i < EqPresetBands; ++i)
        qToLittleEndian<qint32>(AGains[size_t(i)], block.data() + 4 * i);
    return block;
}

TCompressorPreset CompressorPresetFromBlock(QByteArrayView ABlock) {
    TCompressorPreset values{};
    QByteArray full(ABlock.data(), std::min<qsizetype>(ABlock.size(), CompressorPresetValues * 8));
    full.resize(CompressorPresetValues * 8, '\0');
    for (int i = 0; i < CompressorPresetValues; ++i) {
        const quint64 bits = qFromLittleEndian<quint64>(full.constData() + 8 * i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values[size_t(i)] = std::isfinite(value) ? value : 0.0;
    }
    return values;
}

QByteArray CompressorPresetToBlock(const TCompressorPreset &AValues) {
    QByteArray block(CompressorPresetValues * 8, '\0');
    for (int i = 0; i < CompressorPresetValues; ++i) {
        quint64 bits;
        std::memcpy(&bits, &AValues[size_t(i)], sizeof bits);
        qToLittleEndian<quint64>(bits, block.data() + 8 * i);
    }
    return block;
}

std::optional<TEqPreset> EqPresetFromParams(const QStringList &AParams) {
    if (AParams.size() > EqPresetBands)
        return std::nullopt;
    TEqPreset gains{};
    for (qsizetype i = 0; i < AParams.size(); ++i)
        gains[size_t(i)] = ParamsWhole(AParams.at(i));
    return gains;
}

std::optional<TCompressorPreset> CompressorPresetFromParams(const QStringList &AParams) {
    if (AParams.size() > CompressorPresetValues)
        return std::nullopt;
    TCompressorPreset values{};
    for (qsizetype i = 0; i < AParams.size(); ++i)
        values[size_t(i)] = ParamsNumber(AParams.at(i));
    return values;
}

std::optional<QByteArray> ReadPresetBlock(const TPresetKind &AKind, const QString &APath) {
    if (!QFileInfo(APath).isFile())
        return std::nullopt;
    try {
        const TIniFile ini(APath);
        return HexToBlock(ini.ReadString(AKind.Section, AKind.Key, QString()), AKind.BlockSize);
    } catch (const EConfigError &) {
        return std::nullopt;
    }
}

void MakePresetFolder(const QString &AFolder) {
    const QString folder = QDir::cleanPath(AFolder);
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (error || !QFileInfo(folder).isDir()) {
        const int code = error ? error.value() : ENOTDIR;
        throw EFileError(u"Cannot create folder \"%1\". %2"_s.arg(QDir::toNativeSeparators(folder),
                                                                  SystemErrorText(code)),
                         code);
    }
}

void WritePresetBlock(const TPresetKind &AKind, const QString &APath, QByteArrayView ABlock) {
    MakePresetFolder(QFileInfo(APath).absolutePath());
    TIniFile ini(APath);
    ini.WriteString(AKind.Section, AKind.Key, BlockToHex(ABlock));
    ini.UpdateFile();
}
