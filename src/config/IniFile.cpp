#include "config/IniFile.h"

#include "config/AtomicFile.h"
#include "config/ConfigErrors.h"

#include <QFileInfo>
#include <cerrno>
#include <limits>

namespace {

bool SameName(const QString &A, const QString &B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool HasLineBreak(const QString &AText) {
    return AText.contains(u'\r') || AText.contains(u'\n');
}

bool IsBlank(const QString &AText) {
    return AText.trimmed().isEmpty();
}

} // namespace

TIniFile::TIniFile(const QString &AFileName) : FFileName(AFileName) {
    const QFileInfo info(AFileName);
    if (!info.exists() || info.isDir())
        return;
    LoadFromBytes(ReadWholeFile(AFileName));
}

TIniFile::TLine TIniFile::ParseLine(QString AText, QString AEol) {
    TLine line;
    line.Text = std::move(AText);
    line.Eol = std::move(AEol);
    const QString trimmed = line.Text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';')) {
        line.Kind = lkOther;
    } else if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
        line.Kind = lkSection;
        line.Name = trimmed.mid(1, trimmed.size() - 2).trimmed();
    } else if (const qsizetype eq = trimmed.indexOf(u'='); eq >= 0) {
        line.Kind = lkKey;
        line.Name = trimmed.left(eq).trimmed();
        line.Value = trimmed.mid(eq + 1).trimmed();
    }
    return line;
}

void TIniFile::LoadFromBytes(const QByteArray &ABytes) {
    const TDecodedText decoded = DecodeText(ABytes);
    FEncoding = decoded.Encoding;
    FLines.clear();
    FDefaultEol = QStringLiteral("\r\n");
    bool eolSeen = false;
    const QString &text = decoded.Text;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        qsizetype next = end;
        if (next < text.size())
            next +=
                (text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n') ? 2 : 1;
        QString eol = text.mid(end, next - end);
        // New lines end the way the file's lines already do.
        if (!eolSeen && !eol.isEmpty()) {
            FDefaultEol = eol;
            eolSeen = true;
        }
        FLines.push_back(ParseLine(text.mid(start, end - start), std::move(eol)));
        start = next;
    }
}

QByteArray TIniFile::ToBytes() const {
    QString text;
    for (const TLine &line : FLines) {
        text += line.Text;
        text += line.Eol;
    }
    // A character the old encoding cannot hold moves the file to UTF-8.
    const TTextEncoding encoding = FitsEncoding(text, FEncoding) ? FEncoding : teUtf8;
    return EncodeText(text, encoding);
}

std::vector<TIniFile::TBlock> TIniFile::Blocks(const QString &ASection) const {
    std::vector<TBlock> blocks;
    int header = -1;
    bool matching = ASection.isEmpty();
    int begin = 0;
    for (int i = 0; i <= LineCount(); ++i) {
        if (i == LineCount() || FLines[i].Kind == lkSection) {
            if (matching)
                blocks.push_back({header, begin, i});
            if (i == LineCount())
                break;
            header = i;
            begin = i + 1;
            matching = SameName(FLines[i].Name, ASection);
        }
    }
    return blocks;
}

int TIniFile::FindKey(const QString &ASection, const QString &AKey) const {
    for (const TBlock &block : Blocks(ASection))
        for (int i = block.Begin; i < block.End; ++i)
            if (FLines[i].Kind == lkKey && SameName(FLines[i].Name, AKey))
                return i;
    return -1;
}

QString TIniFile::ReadString(const QString &ASection, const QString &AKey,
                             const QString &ADefault) const {
    const int index = FindKey(ASection.trimmed(), AKey.trimmed());
    return index < 0 ? ADefault : FLines[index].Value;
}

int TIniFile::ReadInteger(const QString &ASection, const QString &AKey, int ADefault) const {
    QString text = ReadString(ASection, AKey, QString());
    bool negative = false;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        negative = text.startsWith(u'-');
        text.remove(0, 1);
    }
    int base = 10;
    if (text.startsWith(u'$')) {
        base = 16;
        text.remove(0, 1);
    } else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        text.remove(0, 2);
    }
    if (text.isEmpty() || !text[0].isLetterOrNumber())
        return ADefault;
    bool ok = false;
    const qint64 magnitude = text.toLongLong(&ok, base);
    if (!ok)
        return ADefault;
    const qint64 value = negative ? -magnitude : magnitude;
    // Hexadecimal may spell the negative numbers by their bit pattern.
    if (base == 16 && !negative && value <= 0xFFFFFFFFLL)
        return static_cast<int>(static_cast<quint32>(value));
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return ADefault;
    return static_cast<int>(value);
}

bool TIniFile::ReadBool(const QString &ASection, const QString &AKey, bool ADefault) const {
    const QString text = ReadString(ASection, AKey, QString());
    if (SameName(text, QStringLiteral("true")))
        return true;
    if (SameName(text, QStringLiteral("false")))
        return false;
    return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

void TIniFile::InsertLine(int AIndex, const QString &AText) {
    // The line before it must end before a new one can follow.
    if (AIndex > 0 && FLines[AIndex - 1].Eol.isEmpty())
        FLines[AIndex - 1].Eol = FDefaultEol;
    FLines.insert(FLines.begin() + AIndex, ParseLine(AText, FDefaultEol));
}

void TIniFile::WriteString(const QString &ASection, const QString &AKey, const QString &AValue) {
    const QString section = ASection.trimmed();
    const QString key = AKey.trimmed();
    if (HasLineBreak(section) || section.contains(u']') || HasLineBreak(key) || key.isEmpty() ||
        key.contains(u'=') || key.startsWith(u'[') || key.startsWith(u';') || HasLineBreak(AValue))
        throw EConfigError(QStringLiteral("Invalid ini entry [%1] %2").arg(section, key));

    if (const int index = FindKey(section, key); index >= 0) {
        TLine &line = FLines[index];
        line = ParseLine(line.Name + u'=' + AValue, line.Eol);
        return;
    }
    const QString text = key + u'=' + AValue;
    const std::vector<TBlock> blocks = Blocks(section);
    if (!blocks.empty()) {
        // After the last line of the section's first block that is not blank,
        // so blank lines between sections stay between them.
        const TBlock &block = blocks.front();
        int at = block.Begin;
        for (int i = block.Begin; i < block.End; ++i)
            if (!IsBlank(FLines[i].Text))
                at = i + 1;
        InsertLine(at, text);
        return;
    }
    if (!FLines.empty() && !IsBlank(FLines.back().Text))
        InsertLine(LineCount(), QString());
    InsertLine(LineCount(), u'[' + section + u']');
    InsertLine(LineCount(), text);
}

void TIniFile::WriteInteger(const QString &ASection, const QString &AKey, int AValue) {
    WriteString(ASection, AKey, QString::number(AValue));
}

void TIniFile::WriteBool(const QString &ASection, const QString &AKey, bool AValue) {
    WriteString(ASection, AKey, AValue ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList TIniFile::ReadSection(const QString &ASection) const {
    QStringList keys;
    for (const TBlock &block : Blocks(ASection.trimmed()))
        for (int i = block.Begin; i < block.End; ++i)
            if (FLines[i].Kind == lkKey && !keys.contains(FLines[i].Name, Qt::CaseInsensitive))
                keys.append(FLines[i].Name);
    return keys;
}

QStringList TIniFile::ReadSections() const {
    QStringList sections;
    if (SectionExists(QString()))
        sections.append(QString());
    for (const TLine &line : FLines)
        if (line.Kind == lkSection && !line.Name.isEmpty() &&
            !sections.contains(line.Name, Qt::CaseInsensitive))
            sections.append(line.Name);
    return sections;
}

bool TIniFile::SectionExists(const QString &ASection) const {
    for (const TBlock &block : Blocks(ASection.trimmed())) {
        if (block.Header >= 0)
            return true;
        for (int i = block.Begin; i < block.End; ++i)
            if (FLines[i].Kind == lkKey)
                return true;
    }
    return false;
}

bool TIniFile::ValueExists(const QString &ASection, const QString &AKey) const {
    return FindKey(ASection.trimmed(), AKey.trimmed()) >= 0;
}

void TIniFile::EraseSection(const QString &ASection) {
    const std::vector<TBlock> blocks = Blocks(ASection.trimmed());
    // From the last block back, so earlier indexes stay valid.
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
        const int first = block->Header >= 0 ? block->Header : block->Begin;
        FLines.erase(FLines.begin() + first, FLines.begin() + block->End);
    }
}

void TIniFile::DeleteKey(const QString &ASection, const QString &AKey) {
    for (int index; (index = FindKey(ASection.trimmed(), AKey.trimmed())) >= 0;)
        FLines.erase(FLines.begin() + index);
}

void TIniFile::UpdateFile() const {
    if (FFileName.isEmpty())
        throw EFileError(QStringLiteral("Cannot create file \"\". %1").arg(SystemErrorText(ENOENT)),
                         ENOENT);
    WriteFileAtomically(FFileName, ToBytes());
}
