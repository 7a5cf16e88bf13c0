#include "core/FileVersion.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdlib>
#include <elf.h>
#include <gtest/gtest.h>
#include <random>

using namespace Qt::StringLiterals;

namespace {

const QString StampedProbe = QStringLiteral(VOCARRA_STAMPED_PROBE);
const QString PlainProbe = QStringLiteral(VOCARRA_PLAIN_PROBE);

// Builds a small ELF file by hand: header, the section names, one note
// section and the section header table, in either class and byte order.
class TElfBuilder {
public:
    TElfBuilder(bool A64, bool ABigEndian) : F64(A64), FBig(ABigEndian) {}

    // The notes the note section holds.
    void AddNote(const QByteArray &AName, quint32 AType, const QByteArray &ADesc) {
        Put(FNotes, quint32(AName.size()), 4);
        Put(FNotes, quint32(ADesc.size()), 4);
        Put(FNotes, AType, 4);
        FNotes += AName;
        Pad(FNotes);
        FNotes += ADesc;
        Pad(FNotes);
    }
    void AddStamp(quint32 A, quint32 B, quint32 C, quint32 D) {
        QByteArray desc;
        for (quint32 v : {A, B, C, D})
            Put(desc, v, 4);
        AddNote(QByteArray("Vocarra", 8), 1, desc);
    }
    QByteArray NumberBytes(quint64 AValue, int ASize) const {
        QByteArray bytes;
        Put(bytes, AValue, ASize);
        return bytes;
    }

    QByteArray Build(const QByteArray &ANoteSectionName = ".note.vocarra.version") const {
        const QByteArray names =
            QByteArray(1, '\0') + ".shstrtab" + '\0' + ".text" + '\0' + ANoteSectionName + '\0';
        const quint32 shstrtabName = 1, textName = 11, noteName = 17;
        const int headerSize = F64 ? 64 : 52;
        const int entrySize = F64 ? 64 : 40;

        QByteArray body;
        const quint64 namesOffset = headerSize;
        body += names;
        Pad(body);
        const quint64 notesOffset = headerSize + body.size();
        body += FNotes;
        const quint64 tableOffset = headerSize + body.size();

        QByteArray file(EI_NIDENT, '\0');
        file[0] = 0x7f;
        file[1] = 'E';
        file[2] = 'L';
        file[3] = 'F';
        file[EI_CLASS] = F64 ? ELFCLASS64 : ELFCLASS32;
        file[EI_DATA] = FBig ? ELFDATA2MSB : ELFDATA2LSB;
        file[EI_VERSION] = EV_CURRENT;
        Put(file, ET_EXEC, 2);
        Put(file, EM_X86_64, 2);
        Put(file, EV_CURRENT, 4);
        const int word = F64 ? 8 : 4;
        Put(file, 0, word);           // entry
        Put(file, 0, word);           // program headers
        Put(file, tableOffset, word); // section headers
        Put(file, 0, 4);              // flags
        Put(file, headerSize, 2);
        Put(file, 0, 2);
        Put(file, 0, 2);
        Put(file, entrySize, 2);
        Put(file, 4, 2); // sections
        Put(file, 1, 2); // index of the section names
        file += body;

        file += Section(0, SHT_NULL, 0, 0);
        file += Section(shstrtabName, SHT_STRTAB, namesOffset, names.size());
        file += Section(textName, SHT_NOBITS, 0, 4096);
        file += Section(noteName, SHT_NOTE, notesOffset, FNotes.size());
        return file;
    }

private:
    void Put(QByteArray &ADest, quint64 AValue, int ASize) const {
        for (int i = 0; i < ASize; ++i) {
            const int shift = 8 * (FBig ? ASize - 1 - i : i);
            ADest.append(char((AValue >> shift) & 0xff));
        }
    }
    static void Pad(QByteArray &ADest) {
        while (ADest.size() % 4 != 0)
            ADest.append('\0');
    }
    QByteArray Section(quint32 AName, quint32 AType, quint64 AOffset, quint64 ASize) const {
        QByteArray header;
        Put(header, AName, 4);
        Put(header, AType, 4);
        if (F64) {
            Put(header, 0, 8); // flags
            Put(header, 0, 8); // address
            Put(header, AOffset, 8);
            Put(header, ASize, 8);
            Put(header, 0, 4); // link
            Put(header, 0, 4); // info
            Put(header, 4, 8); // alignment
            Put(header, 0, 8); // entry size
        } else {
            Put(header, 0, 4);
            Put(header, 0, 4);
            Put(header, AOffset, 4);
            Put(header, ASize, 4);
            Put(header, 0, 4);
            Put(header, 0, 4);
            Put(header, 4, 4);
            Put(header, 0, 4);
        }
        return header;
    }

    bool F64;
    bool FBig;
    QByteArray FNotes;
};

class FileVersionTest : public ::testing::Test {
protected:
    QString Write(const QString &AName, const QByteArray &AContent) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(AContent);
        return path;
    }
    QTemporaryDir FDir;
};

TEST_F(FileVersionTest, ReadsTheStampOfABuiltProgram) {
    EXPECT_EQ(ReadFileVersionStamp(StampedProbe), u"2.1.0.15"_s);
}

TEST_F(FileVersionTest, StampSurvivesStripping) {
    QFile original(StampedProbe);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QString copy = Write(u"probe"_s, original.readAll());
    const int status = std::system(("strip " + QFile::encodeName(copy)).constData());
    if (status != 0)
        GTEST_SKIP() << "strip is not available";
    EXPECT_EQ(ReadFileVersionStamp(copy), u"2.1.0.15"_s);
}

TEST_F(FileVersionTest, FilesWithoutStampGiveEmptyText) {
    const QString cases[] = {
        PlainProbe,
        Write(u"text.txt"_s, "just some text\n"),
        Write(u"empty"_s, QByteArray()),
        Write(u"magic-only"_s, "\x7f"
                               "ELF"),
        FDir.filePath(u"missing"_s),
        FDir.path(), // a folder
    };
    for (const QString &file : cases) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(ReadFileVersionStamp(file), QString());
    }
}

TEST_F(FileVersionTest, ReadsEveryClassAndByteOrder) {
    struct TCase {
        bool Is64;
        bool Big;
    } const cases[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "64-bit " << c.Is64 << ", big-endian " << c.Big);
        TElfBuilder builder(c.Is64, c.Big);
        builder.AddNote(QByteArray("GNU", 4), 3, QByteArray(20, 'x')); // a build id before ours
        builder.AddStamp(65535, 0, 7, 40000);
        EXPECT_EQ(ReadFileVersionStamp(Write(u"elf"_s, builder.Build())), u"65535.0.7.40000"_s);
    }
}

TEST_F(FileVersionTest, IgnoresNotesThatAreNotTheStamp) {
    struct TCase {
        const char *Why;
        QByteArray Name;
        quint32 Type;
        int DescSize;
        QByteArray Section;
    } const cases[] = {
        {"other owner", QByteArray("Vocarro", 8), 1, 16, ".note.vocarra.version"},
        {"owner without its NUL", QByteArray("Vocarra", 7), 1, 16, ".note.vocarra.version"},
        {"other type", QByteArray("Vocarra", 8), 2, 16, ".note.vocarra.version"},
        {"three numbers", QByteArray("Vocarra", 8), 1, 12, ".note.vocarra.version"},
        {"other section", QByteArray("Vocarra", 8), 1, 16, ".note.vocarra.versions"},
        {"section name prefix", QByteArray("Vocarra", 8), 1, 16, ".note.vocarra"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Why);
        TElfBuilder builder(true, false);
        builder.AddNote(c.Name, c.Type, QByteArray(c.DescSize, '\1'));
        EXPECT_EQ(ReadFileVersionStamp(Write(u"elf"_s, builder.Build(c.Section))), QString());
    }
}

TEST_F(FileVersionTest, SurvivesTruncatedAndDamagedFiles) {
    TElfBuilder builder(true, false);
    builder.AddStamp(1, 2, 3, 4);
    const QByteArray good = builder.Build();
    ASSERT_EQ(ReadFileVersionStamp(Write(u"good"_s, good)), u"1.2.3.4"_s);

    // Every truncation: never a crash, and the stamp only when all of it is there.
    for (qsizetype size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(ReadFileVersionStamp(Write(u"cut"_s, good.left(size))), QString());
    }

    // Random damage; under the sanitizers this shows any read out of bounds.
    std::mt19937 random(20240501);
    for (int round = 0; round < 300; ++round) {
        QByteArray bad = good;
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i)
            bad[qsizetype(random() % quint32(bad.size()))] = char(random());
        const QString text = ReadFileVersionStamp(Write(u"bad"_s, bad));
        EXPECT_TRUE(text.isEmpty() || text.count(u'.') == 3) << text.toStdString();
    }

    // Huge sizes and offsets in the header and in the note.
    struct TPatch {
        const char *Why;
        qsizetype Offset;
        int Size;
        quint64 Value;
    } const patches[] = {
        {"section table far beyond the end", 40, 8, ~quint64(0) - 10},
        {"too many sections", 60, 2, 0xfffe},
        {"names index out of range", 62, 2, 9},
        {"section header size too small", 58, 2, 8},
    };
    for (const TPatch &p : patches) {
        SCOPED_TRACE(p.Why);
        QByteArray bad = good;
        bad.replace(p.Offset, p.Size, builder.NumberBytes(p.Value, p.Size));
        EXPECT_EQ(ReadFileVersionStamp(Write(u"bad"_s, bad)), QString());
    }
}

TEST_F(FileVersionTest, NoteWithHugeSizesIsIgnored) {
    struct TCase {
        const char *Field;
        int Offset; // of the field within the note
    } const fields[] = {{"name size", 0}, {"description size", 4}};
    for (const TCase &field : fields) {
        for (quint32 size : {0xffffffffu, 0xfffffffdu, 0x7fffffffu, 17u}) {
            SCOPED_TRACE(testing::Message() << field.Field << " " << size);
            TElfBuilder builder(false, false);
            builder.AddNote(QByteArray("Vocarra", 8), 1, QByteArray(16, '\0'));
            QByteArray file = builder.Build();
            const qsizetype note = file.indexOf(QByteArray("Vocarra", 8)) - 12;
            file.replace(note + field.Offset, 4, builder.NumberBytes(size, 4));
            EXPECT_EQ(ReadFileVersionStamp(Write(u"elf"_s, file)), QString());
        }
    }
}

// One test, because the cache lives as long as the process.
TEST_F(FileVersionTest, CachesTheFirstStampFound) {
    EXPECT_EQ(GetFileVersionText(PlainProbe), QString()); // an empty result is not kept
    EXPECT_EQ(GetFileVersionText(StampedProbe), u"2.1.0.15"_s);
    EXPECT_EQ(GetFileVersionText(PlainProbe), u"2.1.0.15"_s);
    EXPECT_EQ(GetFileVersionText(FDir.filePath(u"missing"_s)), u"2.1.0.15"_s);
}

} // namespace
