#include "core/FileVersion.h"

#include <QFile>
#include <QFileInfo>
#include <elf.h>
#include <mutex>
#include <optional>

namespace {

constexpr char StampSection[] = ".note.vocarra.version";
constexpr char StampOwner[] = "Vocarra"; // with its NUL, 8 bytes
constexpr quint32 StampType = 1;
constexpr quint32 StampSize = 16; // four 32-bit numbers

// Limits far above any real program; they only keep a damaged file from
// making us read or allocate absurd amounts.
constexpr quint64 MaxSections = 1u << 20;
constexpr quint64 MaxSectionHeaderSize = 1024;
constexpr quint64 MaxNamesSize = 16u << 20;
constexpr quint64 MaxNoteSectionSize = 64u << 10;

// Reads a possibly damaged ELF file: every read is checked against the file's
// size, every number comes in the file's own byte order.
class TElfReader {
public:
    explicit TElfReader(QFile &AFile) : FFile(AFile), FSize(quint64(AFile.size())) {}

    bool ReadIdent() {
        const std::optional<QByteArray> ident = Read(0, EI_NIDENT);
        if (!ident || !ident->startsWith(QByteArrayView(ELFMAG, SELFMAG)))
            return false;
        const char elfClass = ident->at(EI_CLASS);
        const char data = ident->at(EI_DATA);
        if ((elfClass != ELFCLASS32 && elfClass != ELFCLASS64) ||
            (data != ELFDATA2LSB && data != ELFDATA2MSB))
            return false;
        F64 = elfClass == ELFCLASS64;
        FBigEndian = data == ELFDATA2MSB;
        return true;
    }

    bool Is64() const { return F64; }

    std::optional<QByteArray> Read(quint64 AOffset, quint64 ALength) {
        if (ALength > FSize || AOffset > FSize - ALength)
            return std::nullopt;
        if (!FFile.seek(qint64(AOffset)))
            return std::nullopt;
        QByteArray bytes = FFile.read(qint64(ALength));
        if (quint64(bytes.size()) != ALength)
            return std::nullopt;
        return bytes;
    }

    // Unsigned number of ASize bytes at AOffset in ABytes; the caller has
    // made sure the bytes are there.
    quint64 Number(const QByteArray &ABytes, qsizetype AOffset, int ASize) const {
        quint64 value = 0;
        for (int i = 0; i < ASize; ++i) {
            const int index = FBigEndian ? i : ASize - 1 - i;
            value = (value << 8) | quint8(ABytes.at(AOffset + index));
        }
        return value;
    }

private:
    QFile &FFile;
    quint64 FSize;
    bool F64 = false;
    bool FBigEndian = false;
};

struct TSectionHeader {
    quint64 Name = 0;
    quint64 Type = 0;
    quint64 Offset = 0;
    quint64 Size = 0;
    quint64 Link = 0;
};

// The fields we use of section header AIndex in the table ATable.
TSectionHeader SectionAt(const TElfReader &AReader, const QByteArray &ATable, quint64 AEntrySize,
                         quint64 AIndex) {
    const auto base = qsizetype(AIndex * AEntrySize);
    TSectionHeader header;
    header.Name = AReader.Number(ATable, base + 0, 4);
    header.Type = AReader.Number(ATable, base + 4, 4);
    if (AReader.Is64()) {
        header.Offset = AReader.Number(ATable, base + 24, 8);
        header.Size = AReader.Number(ATable, base + 32, 8);
        header.Link = AReader.Number(ATable, base + 40, 4);
    } else {
        header.Offset = AReader.Number(ATable, base + 16, 4);
        header.Size = AReader.Number(ATable, base + 20, 4);
        header.Link = AReader.Number(ATable, base + 24, 4);
    }
    return header;
}

quint64 Align4(quint64 AValue) {
    return (AValue + 3) & ~quint64(3);
}

// Looks through the notes of one section for ours.
QString FindStampNote(const TElfReader &AReader, const QByteArray &ANotes) {
    const auto size = quint64(ANotes.size());
    quint64 pos = 0;
    while (size - pos >= 12) {
        const quint64 nameSize = AReader.Number(ANotes, qsizetype(pos), 4);
        const quint64 descSize = AReader.Number(ANotes, qsizetype(pos + 4), 4);
        const quint64 type = AReader.Number(ANotes, qsizetype(pos + 8), 4);
        const quint64 namePos = pos + 12;
        if (Align4(nameSize) > size - namePos)
            break;
        const quint64 descPos = namePos + Align4(nameSize);
        if (Align4(descSize) > size - descPos)
            break;
        const QByteArrayView name(ANotes.constData() + namePos, qsizetype(nameSize));
        if (type == StampType && descSize == StampSize &&
            name == QByteArrayView(StampOwner, sizeof StampOwner)) {
            QStringList parts;
            for (int i = 0; i < 4; ++i)
                parts.append(
                    QString::number(AReader.Number(ANotes, qsizetype(descPos + 4 * i), 4)));
            return parts.join(QLatin1Char('.'));
        }
        pos = descPos + Align4(descSize);
    }
    return QString();
}

} // namespace

QString ReadFileVersionStamp(const QString &AFileName) {
    // Only plain files: opening a FIFO or a device could block or never end.
    if (!QFileInfo(AFileName).isFile())
        return QString();
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    TElfReader reader(file);
    if (!reader.ReadIdent())
        return QString();

    const bool is64 = reader.Is64();
    const std::optional<QByteArray> header =
        reader.Read(0, is64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr));
    if (!header)
        return QString();
    const quint64 tableOffset =
        is64 ? reader.Number(*header, 40, 8) : reader.Number(*header, 32, 4);
    const qsizetype tail = is64 ? 58 : 46; // e_shentsize, then e_shnum and e_shstrndx
    const quint64 entrySize = reader.Number(*header, tail, 2);
    quint64 count = reader.Number(*header, tail + 2, 2);
    quint64 namesIndex = reader.Number(*header, tail + 4, 2);
    if (tableOffset == 0 || entrySize < (is64 ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr)) ||
        entrySize > MaxSectionHeaderSize)
        return QString();

    // Files with very many sections keep the real count and the index of the
    // section names in the first section header.
    if (count == 0 || namesIndex == SHN_XINDEX) {
        const std::optional<QByteArray> first = reader.Read(tableOffset, entrySize);
        if (!first)
            return QString();
        const TSectionHeader zero = SectionAt(reader, *first, entrySize, 0);
        if (count == 0)
            count = zero.Size;
        if (namesIndex == SHN_XINDEX)
            namesIndex = zero.Link;
    }
    if (count == 0 || count > MaxSections || namesIndex >= count)
        return QString();
    const std::optional<QByteArray> table = reader.Read(tableOffset, count * entrySize);
    if (!table)
        return QString();

    const TSectionHeader namesHeader = SectionAt(reader, *table, entrySize, namesIndex);
    if (namesHeader.Type == SHT_NOBITS || namesHeader.Size > MaxNamesSize)
        return QString();
    const std::optional<QByteArray> names = reader.Read(namesHeader.Offset, namesHeader.Size);
    if (!names)
        return QString();

    const QByteArrayView wanted(StampSection, sizeof StampSection); // with its NUL
    for (quint64 i = 0; i < count; ++i) {
        const TSectionHeader section = SectionAt(reader, *table, entrySize, i);
        if (section.Name >= quint64(names->size()) ||
            quint64(names->size()) - section.Name < quint64(wanted.size()))
            continue;
        if (QByteArrayView(names->constData() + section.Name, wanted.size()) != wanted)
            continue;
        if (section.Type == SHT_NOBITS || section.Size > MaxNoteSectionSize)
            continue;
        const std::optional<QByteArray> notes = reader.Read(section.Offset, section.Size);
        if (!notes)
            continue;
        QString text = FindStampNote(reader, *notes);
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

QString GetFileVersionText(const QString &AFileName) {
    static std::mutex lock;
    static QString cached;
    {
        std::lock_guard guard(lock);
        if (!cached.isEmpty())
            return cached;
    }
    // Read outside the lock; a failed read is not kept, so a later call may
    // still find the stamp.
    QString text = ReadFileVersionStamp(AFileName);
    if (text.isEmpty())
        return text;
    std::lock_guard guard(lock);
    if (cached.isEmpty())
        cached = text;
    return cached;
}
