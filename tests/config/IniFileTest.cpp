// The plain ini layer: lookups, encodings, and writes that change nothing
// but their own line.

#include "config/IniFile.h"

#include "ConfigTestSupport.h"
#include "config/ConfigErrors.h"
#include "config/TextCodec.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TIniFile FromBytes(const QByteArray &ABytes) {
    TIniFile ini;
    ini.LoadFromBytes(ABytes);
    return ini;
}

TEST(IniFile, SectionsAndKeysIgnoreCaseAndBlanks) {
    const TIniFile ini =
        FromBytes("; comment\r\n[Setup]\r\n  Language =  De  \r\n\r\n[Other]\r\nX=1\r\n");
    EXPECT_EQ(ini.ReadString(u"SETUP"_s, u"language"_s, u"En"_s), u"De"_s);
    EXPECT_EQ(ini.ReadString(u" setup "_s, u" LANGUAGE"_s, u"En"_s), u"De"_s);
    EXPECT_EQ(ini.ReadString(u"Setup"_s, u"X"_s, u"none"_s), u"none"_s) << "X belongs to Other";
    EXPECT_EQ(ini.ReadString(u"Missing"_s, u"Language"_s, u"En"_s), u"En"_s);
    EXPECT_EQ(ini.ReadSections(), (QStringList{u"Setup"_s, u"Other"_s}));
    EXPECT_EQ(ini.ReadSection(u"other"_s), QStringList{u"X"_s});
    EXPECT_TRUE(ini.SectionExists(u"OTHER"_s));
    EXPECT_TRUE(ini.ValueExists(u"other"_s, u"x"_s));
    EXPECT_FALSE(ini.ValueExists(u"other"_s, u"; comment"_s));
}

TEST(IniFile, ValuesKeepQuotesAndEqualSigns) {
    const TIniFile ini =
        FromBytes("[MicDSP.Captions]\n@=Microphone processing\nButton1='OK'\nF=a=b\n");
    EXPECT_EQ(ini.ReadString(u"MicDSP.Captions"_s, u"@"_s, QString()), u"Microphone processing"_s);
    EXPECT_EQ(ini.ReadString(u"MicDSP.Captions"_s, u"Button1"_s, QString()), u"'OK'"_s);
    EXPECT_EQ(ini.ReadString(u"MicDSP.Captions"_s, u"F"_s, QString()), u"a=b"_s);
    EXPECT_EQ(ini.ReadSection(u"MicDSP.Captions"_s), (QStringList{u"@"_s, u"Button1"_s, u"F"_s}));
}

TEST(IniFile, IntegersAndBooleans) {
    struct TCase {
        const char *Value;
        int Integer;  // default -5
        bool Boolean; // default true
    };
    const TCase cases[] = {
        {"12", 12, true},          {"-7", -7, true},   {"$1F", 31, true},
        {"0x10", 16, true},        {"0", 0, false},    {"", -5, true},
        {"abc", -5, true},         {"1.5", -5, true},  {"$FFFFFFFF", -1, true},
        {"99999999999", -5, true}, {"true", -5, true}, {"False", -5, false},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Value);
        const TIniFile ini = FromBytes(QByteArray("[S]\nK=") + c.Value + "\n");
        EXPECT_EQ(ini.ReadInteger(u"S"_s, u"K"_s, -5), c.Integer);
        EXPECT_EQ(ini.ReadBool(u"S"_s, u"K"_s, true), c.Boolean);
    }
    TIniFile ini;
    ini.WriteInteger(u"S"_s, u"I"_s, -42);
    ini.WriteBool(u"S"_s, u"B"_s, true);
    EXPECT_EQ(ini.ReadInteger(u"S"_s, u"I"_s, 0), -42);
    EXPECT_TRUE(ini.ReadBool(u"S"_s, u"B"_s, false));
    EXPECT_EQ(ini.ToBytes(), "[S]\r\nI=-42\r\nB=1\r\n");
}

// Text in each encoding the layer recognises, and what a write keeps.
TEST(IniFile, EncodingsAreRecognisedAndKept) {
    struct TCase {
        const char *Name;
        QByteArray Bytes;
        TTextEncoding Encoding;
    };
    const QString text = u"[S]\r\nK=\u00E9\u20AC\r\n"_s;
    const TCase cases[] = {
        {"UTF-8 without mark", text.toUtf8(), teUtf8},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), teUtf8Bom},
        {"UTF-16 little-endian", EncodeText(text, teUtf16LE), teUtf16LE},
        {"UTF-16 big-endian", EncodeText(text, teUtf16BE), teUtf16BE},
        {"Windows-1252", "[S]\r\nK=\xE9\x80\r\n", teWindows1252},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TIniFile ini = FromBytes(c.Bytes);
        EXPECT_EQ(ini.Encoding(), c.Encoding);
        EXPECT_EQ(ini.ReadString(u"s"_s, u"k"_s, QString()), u"\u00E9\u20AC"_s);
        EXPECT_EQ(ini.ToBytes(), c.Bytes) << "unchanged text gives the same bytes";
        ini.WriteString(u"S"_s, u"New"_s, u"\u00FC"_s);
        const TIniFile back = FromBytes(ini.ToBytes());
        EXPECT_EQ(back.Encoding(), c.Encoding);
        EXPECT_EQ(back.ReadString(u"S"_s, u"New"_s, QString()), u"\u00FC"_s);
        EXPECT_EQ(back.ReadString(u"S"_s, u"K"_s, QString()), u"\u00E9\u20AC"_s);
    }
}

TEST(IniFile, AByteOrderMarkInsideTheTextIsKept) {
    const QByteArray bytes = "\xEF\xBB\xBF\xEF\xBB\xBF[S]\r\n";
    EXPECT_EQ(FromBytes(bytes).ToBytes(), bytes);
}

TEST(IniFile, TextOutsideWindows1252MovesTheFileToUtf8) {
    TIniFile ini = FromBytes("[S]\r\nK=\xE9\r\n");
    ini.WriteString(u"S"_s, u"Name"_s, u"\u041F"_s);
    EXPECT_EQ(ini.ToBytes(), "[S]\r\nK=\xC3\xA9\r\nName=\xD0\x9F\r\n");
}

TEST(IniFile, Windows1252CoversEveryByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString decoded = DecodeWindows1252(all);
    EXPECT_EQ(EncodeWindows1252(decoded), all);
    EXPECT_EQ(decoded[0x80], QChar(0x20AC));
    EXPECT_EQ(decoded[0x8A], QChar(0x0160));
    EXPECT_EQ(decoded[0x9F], QChar(0x0178));
    EXPECT_EQ(decoded[0x81], QChar(0x0081)) << "unassigned bytes keep their code";
    EXPECT_EQ(decoded[0xE9], QChar(0x00E9));
    EXPECT_EQ(EncodeWindows1252(u"\u041F"_s), "?");
}

TEST(IniFile, Utf8IsTakenOnlyWhenValid) {
    const char *invalid[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"};
    for (const char *bytes : invalid)
        EXPECT_FALSE(IsValidUtf8(bytes)) << bytes;
    EXPECT_TRUE(IsValidUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
}

// Only the written line changes; comments, blank lines, spacing, other
// sections and their line ends stay byte for byte.
TEST(IniFile, WritesTouchOnlyTheirOwnLine) {
    const QByteArray original = "; head comment\r\n"
                                "[First]\r\n"
                                "  A = 1 \r\n"
                                "; inside\r\n"
                                "B=2\r\n"
                                "\r\n"
                                "[Second]\n"
                                "C = \xE9\n"
                                "\n"
                                "[Third]\r\n"
                                "D=4";
    struct TCase {
        const char *Name;
        std::function<void(TIniFile &)> Change;
        QByteArray Expected;
    };
    const TCase cases[] = {
        {"replace a value", [](TIniFile &I) { I.WriteString(u"first"_s, u"a"_s, u"9"_s); },
         "; head comment\r\n[First]\r\nA=9\r\n; inside\r\nB=2\r\n\r\n[Second]\nC = "
         "\xE9\n\n[Third]\r\nD=4"},
        {"add a key after the last line of its section",
         [](TIniFile &I) { I.WriteString(u"First"_s, u"E"_s, u"5"_s); },
         "; head comment\r\n[First]\r\n  A = 1 \r\n; inside\r\nB=2\r\nE=5\r\n\r\n[Second]\nC = "
         "\xE9\n\n[Third]\r\nD=4"},
        {"add a key to the unterminated last line",
         [](TIniFile &I) { I.WriteString(u"Third"_s, u"F"_s, u"6"_s); },
         "; head comment\r\n[First]\r\n  A = 1 \r\n; inside\r\nB=2\r\n\r\n[Second]\nC = "
         "\xE9\n\n[Third]\r\nD=4\r\nF=6\r\n"},
        {"add a section", [](TIniFile &I) { I.WriteString(u"Fourth"_s, u"G"_s, u"7"_s); },
         "; head comment\r\n[First]\r\n  A = 1 \r\n; inside\r\nB=2\r\n\r\n[Second]\nC = "
         "\xE9\n\n[Third]\r\nD=4\r\n\r\n"
         "[Fourth]\r\nG=7\r\n"},
        {"delete a key", [](TIniFile &I) { I.DeleteKey(u"FIRST"_s, u"b"_s); },
         "; head comment\r\n[First]\r\n  A = 1 \r\n; inside\r\n\r\n[Second]\nC = "
         "\xE9\n\n[Third]\r\nD=4"},
        {"erase a section", [](TIniFile &I) { I.EraseSection(u"second"_s); },
         "; head comment\r\n[First]\r\n  A = 1 \r\n; inside\r\nB=2\r\n\r\n[Third]\r\nD=4"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TIniFile ini = FromBytes(original);
        c.Change(ini);
        EXPECT_EQ(ini.ToBytes(), c.Expected);
    }
}

// Keys ahead of the first header and keys under "[]" both form the section
// with the empty name; a new one goes to the top of the file.
TEST(IniFile, TheEmptySectionNameReadsBackWhatItWrites) {
    TIniFile ini = FromBytes("[Other]\r\nX=1\r\n");
    ini.WriteInteger(QString(), u"X"_s, 10);
    ini.WriteInteger(QString(), u"S"_s, 1);
    EXPECT_EQ(ini.ToBytes(), "X=10\r\nS=1\r\n[Other]\r\nX=1\r\n");
    const TIniFile back = FromBytes(ini.ToBytes());
    EXPECT_EQ(back.ReadInteger(QString(), u"X"_s, 0), 10);
    EXPECT_EQ(back.ReadInteger(u"Other"_s, u"X"_s, 0), 1);
    EXPECT_EQ(back.ReadSections(), (QStringList{QString(), u"Other"_s}));

    const TIniFile bracketed = FromBytes("[A]\r\nX=1\r\n[]\r\nX=2\r\n");
    EXPECT_EQ(bracketed.ReadInteger(QString(), u"X"_s, 0), 2);
    TIniFile empty;
    EXPECT_FALSE(empty.SectionExists(QString()));
    empty.WriteString(QString(), u"W"_s, u"0"_s);
    EXPECT_EQ(empty.ToBytes(), "W=0\r\n");
}

TEST(IniFile, EntriesTheFileCannotHoldAreRefused) {
    TIniFile ini;
    const std::pair<QString, QString> refused[] = {
        {u"S"_s, u"a=b"_s}, {u"S"_s, u""_s},    {u"S"_s, u"[k"_s},
        {u"S"_s, u";k"_s},  {u"a]b"_s, u"k"_s}, {u"S\nT"_s, u"k"_s},
    };
    for (const auto &[section, key] : refused)
        EXPECT_THROW(ini.WriteString(section, key, u"v"_s), EConfigError) << key.toStdString();
    EXPECT_THROW(ini.WriteString(u"S"_s, u"k"_s, u"two\r\nlines"_s), EConfigError);
    EXPECT_EQ(ini.ToBytes(), QByteArray());
}

class IniFileOnDisk : public TTempDirTest {};

TEST_F(IniFileOnDisk, MissingFileOrFolderReadsAsEmpty) {
    const TIniFile missing(Path(u"missing.ini"_s));
    EXPECT_TRUE(missing.ReadSections().isEmpty());
    EXPECT_EQ(missing.ReadString(u"S"_s, u"K"_s, u"d"_s), u"d"_s);
    const TIniFile folder(FDir.path() + u'/');
    EXPECT_TRUE(folder.ReadSections().isEmpty());
}

TEST_F(IniFileOnDisk, UpdateFileWritesAndReadsBack) {
    TIniFile ini(Path(u"windowpos.ini"_s));
    ini.WriteInteger(QString(), u"X"_s, 100);
    ini.UpdateFile();
    const TIniFile back(Path(u"windowpos.ini"_s));
    EXPECT_EQ(back.ReadInteger(QString(), u"X"_s, 0), 100);
}

TEST_F(IniFileOnDisk, FailedUpdateLeavesTheOldFile) {
    WriteBytes(u"preset.eqp"_s, "[Equalizer]\r\nSettings=00\r\n");
    TIniFile ini(Path(u"preset.eqp"_s));
    ini.WriteString(u"Equalizer"_s, u"Settings"_s, u"FF"_s);
    TWriteFault fault(wsWrite, ENOSPC);
    try {
        ini.UpdateFile();
        FAIL() << "the update did not fail";
    } catch (const EFileError &e) {
        EXPECT_TRUE(e.Message().endsWith(SystemErrorText(ENOSPC)));
    }
    EXPECT_EQ(ReadBytes(u"preset.eqp"_s), "[Equalizer]\r\nSettings=00\r\n");
    EXPECT_EQ(Entries(), QStringList{u"preset.eqp"_s});
}

} // namespace
