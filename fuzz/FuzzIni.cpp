// Fuzzer of the ini layer. Beyond not crashing: loading and saving without a
// change gives back the bytes whenever the decoding was lossless, and a
// written value reads back after a save and a load.

#include "config/ConfigErrors.h"
#include "config/IniFile.h"
#include "config/TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void Check(bool ACondition, const char *AWhat) {
    if (!ACondition) {
        std::fprintf(stderr, "fuzz_ini: %s\n", AWhat);
        std::abort();
    }
}

// Whether decoding kept every byte, so saving must reproduce them.
bool Lossless(const QByteArray &ABytes, TTextEncoding AEncoding) {
    switch (AEncoding) {
    case teUtf8:
    case teWindows1252:
        return true;
    case teUtf8Bom:
        return IsValidUtf8(QByteArrayView(ABytes).sliced(3));
    case teUtf16LE:
    case teUtf16BE:
        return ABytes.size() % 2 == 0;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
    const QByteArray bytes(reinterpret_cast<const char *>(AData), static_cast<qsizetype>(ASize));
    TIniFile ini;
    ini.LoadFromBytes(bytes);
    if (Lossless(bytes, ini.Encoding()))
        Check(ini.ToBytes() == bytes, "an unchanged file saves differently");

    QString firstSection;
    for (const QString &section : ini.ReadSections()) {
        if (firstSection.isEmpty())
            firstSection = section;
        for (const QString &key : ini.ReadSection(section)) {
            Check(ini.ValueExists(section, key), "a listed key does not exist");
            ini.ReadInteger(section, key, 0);
            ini.ReadBool(section, key, false);
        }
    }

    const QString value = u"v\u00E9 \u041F=;["_s;
    for (const QString &section : {firstSection, QString(), u"Fuzz"_s}) {
        try {
            ini.WriteString(section, u"Key"_s, value);
        } catch (const EConfigError &) {
            continue; // a section name the file could not hold again
        }
        TIniFile back;
        back.LoadFromBytes(ini.ToBytes());
        Check(back.ReadString(section, u"Key"_s, QString()) == value,
              "a written value does not read back");
        back.DeleteKey(section, u"Key"_s);
        Check(!back.ValueExists(section, u"Key"_s), "a deleted key still exists");
        back.EraseSection(section);
        Check(!back.SectionExists(section), "an erased section still exists");
    }
    return 0;
}
