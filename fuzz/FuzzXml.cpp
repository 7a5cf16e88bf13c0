// Feeds arbitrary input to the XML scanner and both reply decoders: as UTF-8
// text and as raw UTF-16. Nothing may crash, hang, or read outside the text.

#include "remote/ReplyDecoders.h"
#include "xml/XmlParser.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Touches everything a part exposes, so that a value referring to freed or
// foreign memory is read (and caught by the address sanitizer).
size_t TouchPart(const TXmlParser &AParser) {
    size_t Sum = size_t(AParser.CurPartType) + size_t(AParser.CurName.size()) +
                 size_t(AParser.CurContent.size());
    for (const TAttr &Attr : AParser.CurAttr) {
        for (const QChar Char : Attr.Name())
            Sum += Char.unicode();
        for (const QChar Char : Attr.ValueView())
            Sum += Char.unicode();
    }
    return Sum;
}

// The text in a heap block of exactly its size: one character read past the
// NUL is an error the sanitizer reports.
void ScanExactCopy(QStringView AText) {
    const qsizetype Nul = AText.indexOf(QChar(0));
    const QStringView Text = Nul >= 0 ? AText.first(Nul) : AText;
    std::unique_ptr<char16_t[]> Copy(new char16_t[size_t(Text.size()) + 1]);
    std::memcpy(Copy.get(), Text.utf16(), size_t(Text.size()) * sizeof(char16_t));
    Copy[size_t(Text.size())] = 0;

    TXmlParser Parser;
    Parser.SetBuffer(Copy.get());
    size_t Sum = 0;
    while (Parser.Scan())
        Sum += TouchPart(Parser);
    // The scan ends on the document's own NUL, and stays there.
    if (Parser.CurStart != Copy.get() + Text.size() || Parser.Scan())
        __builtin_trap();
    // A second pass runs with the declarations of the first one.
    Parser.StartScan();
    while (Parser.Scan())
        Sum += TouchPart(Parser);
    volatile size_t Sink = Sum;
    (void)Sink;
}

void Exercise(const QString &AText) {
    ScanExactCopy(AText);

    TPlaylist Items;
    DecodePlaylist(AText, Items);
    TPlaybackInfo Info;
    DecodePlaybackInfo(AText, Info);
    if (AText.size() < 64)
        ConvertStartTime(AText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
    Exercise(QString::fromUtf8(reinterpret_cast<const char *>(AData), qsizetype(ASize)));
    // The same bytes as UTF-16, unpaired surrogates and all.
    std::u16string Units(ASize / 2, u'\0');
    std::memcpy(Units.data(), AData, Units.size() * sizeof(char16_t));
    Exercise(QString(reinterpret_cast<const QChar *>(Units.data()), qsizetype(Units.size())));
    return 0;
}
