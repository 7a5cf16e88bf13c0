#pragma once
// Plain ini files (uid.ini, setup.ini, windowpos.ini, language files,
// presets), held in memory. Sections and keys are found without regard to
// case. Writing changes only the lines it must: every other section, key,
// comment, blank line, line end and the file's encoding stay as they were.
//
// Keys that come before the first section header belong to the section with
// the empty name; a header "[]" names it too. A key written into that section
// when the file has none is put at the top of the file.

#include "config/TextCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class TIniFile {
public:
    // An empty file in memory, without a file name.
    TIniFile() = default;
    // Reads AFileName. A missing file, or a folder, reads as empty; a file
    // that exists but cannot be read raises EFileError.
    explicit TIniFile(const QString &AFileName);

    const QString &FileName() const { return FFileName; }

    // Replaces the content by ABytes, decoded by byte-order mark, else as
    // UTF-8 when valid, else as Windows-1252.
    void LoadFromBytes(const QByteArray &ABytes);
    // The content as the file would hold it.
    QByteArray ToBytes() const;
    TTextEncoding Encoding() const { return FEncoding; }

    QString ReadString(const QString &ASection, const QString &AKey, const QString &ADefault) const;
    // Decimal, or hexadecimal after "$" or "0x"; ADefault when missing or not a number.
    int ReadInteger(const QString &ASection, const QString &AKey, int ADefault) const;
    // A number other than 0 is true; "true" and "false" are understood too.
    bool ReadBool(const QString &ASection, const QString &AKey, bool ADefault) const;

    // Raise EConfigError for a name or value that the file could not hold
    // (a line break, a key with "=" or one that would read as a header or a
    // comment, a section name with "]").
    void WriteString(const QString &ASection, const QString &AKey, const QString &AValue);
    void WriteInteger(const QString &ASection, const QString &AKey, int AValue);
    void WriteBool(const QString &ASection, const QString &AKey, bool AValue);

    // The keys of a section in file order.
    QStringList ReadSection(const QString &ASection) const;
    // The section names in file order, the empty name when it holds keys.
    QStringList ReadSections() const;
    bool SectionExists(const QString &ASection) const;
    bool ValueExists(const QString &ASection, const QString &AKey) const;

    void EraseSection(const QString &ASection);
    void DeleteKey(const QString &ASection, const QString &AKey);

    // Writes the content to FileName atomically; raises EFileError.
    void UpdateFile() const;

private:
    enum TLineKind { lkOther, lkSection, lkKey };
    struct TLine {
        QString Text; // without its line end
        QString Eol;  // "\r\n", "\n", "\r" or empty for an unterminated last line
        TLineKind Kind = lkOther;
        QString Name;  // section name of a header, key of a key line (trimmed)
        QString Value; // value of a key line (trimmed)
    };
    // Lines [Begin, End) of one block of a section, its header excluded;
    // Header is -1 for the block ahead of the first header.
    struct TBlock {
        int Header;
        int Begin;
        int End;
    };

    static TLine ParseLine(QString AText, QString AEol);
    std::vector<TBlock> Blocks(const QString &ASection) const;
    int FindKey(const QString &ASection, const QString &AKey) const;
    void InsertLine(int AIndex, const QString &AText);
    int LineCount() const { return static_cast<int>(FLines.size()); }

    QString FFileName;
    std::vector<TLine> FLines;
    TTextEncoding FEncoding = teUtf8;
    QString FDefaultEol = QStringLiteral("\r\n");
};
