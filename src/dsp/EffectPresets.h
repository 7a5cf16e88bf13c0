#pragma once
// Preset files of the equaliser and the compressor editors: small ini files,
// one per preset, in a folder per effect below the data directory. The one
// key holds a binary block as hexadecimal text, two upper-case digits per
// byte, bytes in memory order (little-endian numbers):
//
//   equaliser   Presets\Equalizer\NAME.eqp   [Equalizer]  Settings=
//               12 signed 32-bit integers, the gain in dB of bands 0 to 11
//   compressor  Presets\Compressor\NAME.cmp  [Compressor] Settings=
//               5 64-bit floats: gain dB, threshold dB, ratio, attack ms,
//               release ms
//
// The files are shared with the station's other programs, so the layout is
// kept byte for byte. Files are untrusted: a value that is short, long or not
// hex yields what it holds and nothing beyond it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <optional>

// --- One kind of preset ------------------------------------------------------

struct TPresetKind {
    QString StoredFolder; // below the data directory, in the stored (Windows) form
    QString Extension;    // without the dot
    QString Section;
    QString Key;
    qsizetype BlockSize; // bytes
};

const TPresetKind &EqPresetKind();
const TPresetKind &CompressorPresetKind();

// The native preset folder of AKind below ADataDir (which ends in "/"),
// ending in "/".
QString PresetFolder(const TPresetKind &AKind, const QString &ADataDir);
// The same below the process-wide data directory.
QString PresetFolder(const TPresetKind &AKind);

// The full paths of the files "*." + AExtension directly in AFolder, sorted
// by name. A missing folder, a file instead of a folder or an empty path give
// an empty list.
QStringList GetPresetList(const QString &AFolder, const QString &AExtension);

// The file name without folder and extension: the preset's name.
QString PresetNameOfFile(const QString &APath);

// --- Hex text -----------------------------------------------------------------

// Two upper-case hex digits per byte, high digit first.
QString BlockToHex(QByteArrayView ABlock);
// The bytes that AText spells, at most AMaxBytes: reading stops at the first
// pair that is not two hex digits (either case) and at a lone last digit.
QByteArray HexToBlock(QStringView AText, qsizetype AMaxBytes);

// --- Blocks ---------------------------------------------------------------------

inline constexpr int EqPresetBands = 12;
inline constexpr int CompressorPresetValues = 5;

using TEqPreset = std::array<qint32, EqPresetBands>;
using TCompressorPreset = std::array<double, CompressorPresetValues>;

// Missing trailing bytes count as 0.
TEqPreset EqPresetFromBlock(QByteArrayView ABlock);
QByteArray EqPresetToBlock(const TEqPreset &AGains);
// Missing trailing bytes count as 0. A value that is no finite number (a
// NaN or infinity a file may spell) is 0 too: no control can show it.
TCompressorPreset CompressorPresetFromBlock(QByteArrayView ABlock);
QByteArray CompressorPresetToBlock(const TCompressorPreset &AValues);

// The block from an entry's Params, value i from line i (whole numbers for
// the equaliser, "." decimals for the compressor; 0 when unreadable, 0 for
// values without a line). Nothing when Params has more lines than the block
// has values.
std::optional<TEqPreset> EqPresetFromParams(const QStringList &AParams);
std::optional<TCompressorPreset> CompressorPresetFromParams(const QStringList &AParams);

// --- Files ------------------------------------------------------------------------

// The block of the preset file APath; nothing when the file is missing or
// cannot be read. A value shorter than the block gives fewer bytes.
std::optional<QByteArray> ReadPresetBlock(const TPresetKind &AKind, const QString &APath);

// Creates AFolder with its missing parents. Raises EFileError with the
// reason as message.
void MakePresetFolder(const QString &AFolder);

// Writes ABlock into APath (created or rewritten; other sections and keys of
// an existing file stay), creating the folder with its parents first. Raises
// EConfigError (EFileError for the file system) with the reason as message.
void WritePresetBlock(const TPresetKind &AKind, const QString &APath, QByteArrayView ABlock);
