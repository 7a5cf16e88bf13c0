// Writing the component text format: which properties are written, and how
// each kind of value looks.

#include "ConfigTestSupport.h"
#include "SampleObjects.h"
#include "config/ComponentText.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

enum TDevType { odMixer, odRegular, odNotUsed };
const TEnumInfo DevTypeInfo{{u"odMixer"_s, u"odRegular"_s, u"odNotUsed"_s}};

// The properties of the example values, under their names.
class TExample : public TPersistent {
public:
    qint32 Port = 0;
    TDevType DevType = odMixer;
    double MicPrebuffer = 0;
    float Bandwidth = 0;
    QString Server;
    QString User;
    QStringList VSTFolder;

    const TPropTable &Properties() const override {
        static const TPropTable Table{
            Prop::Integer(u"Port"_s, &TExample::Port),
            Prop::Enumeration(u"DevType"_s, &TExample::DevType, DevTypeInfo),
            Prop::Double(u"MicPrebuffer"_s, &TExample::MicPrebuffer),
            Prop::Single(u"Bandwidth"_s, &TExample::Bandwidth),
            Prop::String(u"Server"_s, &TExample::Server),
            Prop::String(u"User"_s, &TExample::User),
            Prop::Strings(u"VSTFolder"_s, &TExample::VSTFolder),
        };
        return Table;
    }
    QString ClassName() const override { return u"TExample"_s; }
};

// The example values exactly as the format's description gives them.
const char *const ValueExamples = R"(Port = 9000
DevType = odRegular
MicPrebuffer = 0.090000000000000000
Bandwidth = 2.5s
Server = 'a'#39'b'
User = #1087#1072
VSTFolder.Strings = (
  'C:\Plugins\'))";

// A whole file around property lines given at level 0.
QByteArray FileOf(const QString &AClass, const QString &AProps) {
    QByteArray text = "object " + AClass.toLatin1() + "\r\n";
    for (const QString &line : AProps.split(u'\n', Qt::SkipEmptyParts))
        text += "  " + line.toLatin1() + "\r\n";
    return text + "end\r\n";
}

TEST(ComponentWrite, ExampleValuesAreWrittenAsDescribed) {
    TExample example;
    example.Port = 9000;
    example.DevType = odRegular;
    example.MicPrebuffer = 0.09;
    example.Bandwidth = 2.5f;
    example.Server = u"a'b"_s;
    example.User = u"\u043F\u0430"_s;
    example.VSTFolder = {u"C:\\Plugins\\"_s};
    EXPECT_EQ(ComponentToText(example), FileOf(u"TExample"_s, QString::fromLatin1(ValueExamples)));
}

TEST(ComponentWrite, ExampleValuesReadBack) {
    TExample example;
    TextToComponent(QString::fromLatin1(FileOf(u"TExample"_s, QString::fromLatin1(ValueExamples))),
                    example);
    EXPECT_EQ(example.Port, 9000);
    EXPECT_EQ(example.DevType, odRegular);
    EXPECT_EQ(example.MicPrebuffer, 0.09);
    EXPECT_EQ(example.Bandwidth, 2.5f);
    EXPECT_EQ(example.Server, u"a'b"_s);
    EXPECT_EQ(example.User, u"\u043F\u0430"_s);
    EXPECT_EQ(example.VSTFolder, QStringList{u"C:\\Plugins\\"_s});
}

// Which properties appear: strings unless empty, floats unless 0, ordinals
// always unless a declared default equals them, collections always, string
// lists when not empty, sub-objects by dotted names.
struct TPresenceCase {
    const char *Name;
    std::function<void(TSample &)> Change;
    const char *Props; // the written property lines, at level 0
};

const TPresenceCase PresenceCases[] = {
    {"creation values: declared defaults equal, empty string, zero floats, empty list left out",
     [](TSample &) {}, "Int = 0\nCard = 0\nBool = False\nColour = clRed\nItems = <>\n"},
    {"values other than declared defaults are written",
     [](TSample &S) {
         S.IntDef = 6;
         S.BoolDef = false;
         S.ColourDef = clBlue;
     },
     "Int = 0\nIntDef = 6\nCard = 0\nBool = False\nBoolDef = False\nColour = clRed\nColourDef = "
     "clBlue\n"
     "Items = <>\n"},
    {"non-empty string, floats, string list, sub-object",
     [](TSample &S) {
         S.Str = u"x"_s;
         S.Dbl = -1.5;
         S.Sgl = 0.5f;
         S.Lines = {u"one"_s, QString()};
         S.Font.Name = u"Arial"_s;
         S.Font.Size = 12;
         S.Accessed = u"A"_s;
     },
     "Int = 0\nCard = 0\nBool = False\nColour = clRed\nStr = 'x'\nDbl = -1.500000000000000000\nSgl "
     "= 0.5s\n"
     "Items = <>\nLines.Strings = (\n  'one'\n  '')\nFont.Name = 'Arial'\nFont.Size = 12\nAccessed "
     "= 'A'\n"},
    {"extreme integers",
     [](TSample &S) {
         S.Int = std::numeric_limits<qint32>::min();
         S.Card = std::numeric_limits<quint32>::max();
     },
     "Int = -2147483648\nCard = 4294967295\nBool = False\nColour = clRed\nItems = <>\n"},
    {"not-a-number is left out rather than written unreadable",
     [](TSample &S) { S.Dbl = std::numeric_limits<double>::quiet_NaN(); },
     "Int = 0\nCard = 0\nBool = False\nColour = clRed\nItems = <>\n"},
};

TEST(ComponentWrite, WritesExactlyThePropertiesTheRulesName) {
    for (const TPresenceCase &c : PresenceCases) {
        SCOPED_TRACE(c.Name);
        TSample sample;
        c.Change(sample);
        EXPECT_EQ(ComponentToText(sample), FileOf(u"TSample"_s, QString::fromLatin1(c.Props)));
    }
}

TEST(ComponentWrite, CollectionItemsAreNestedBlocks) {
    TSample sample;
    sample.Items.Add().Number = 1;
    TSampleItem &second = sample.Items.Add();
    second.Text = u"b"_s;
    second.Lines = {u"l"_s};
    EXPECT_EQ(ComponentToText(sample), FileOf(u"TSample"_s, uR"(Int = 0
Card = 0
Bool = False
Colour = clRed
Items = <
  item
    Number = 1
    Flag = False
    Colour = clRed
  end
  item
    Number = 7
    Text = 'b'
    Flag = False
    Colour = clRed
    Lines.Strings = (
      'l')
  end>
)"_s));
}

TEST(ComponentWrite, DerivedPropertiesFollowTheBase) {
    TDerivedSample derived;
    derived.Name = u"n"_s;
    derived.Extra = 3;
    EXPECT_EQ(ComponentToText(derived), FileOf(u"TDerivedSample"_s, u"Name = 'n'\nExtra = 3\n"_s));
}

// String values: how the text is cut into pieces and lines.
struct TStringCase {
    const char *Name;
    QString Value;
    QString Written; // the property line(s), level 0, for a property "Str"
};

QString Repeat(QChar AChar, int ACount) {
    return QString(ACount, AChar);
}

const TStringCase StringCases[] = {
    {"plain", u"abc"_s, u"Str = 'abc'"_s},
    {"quote as its code", u"a'b"_s, u"Str = 'a'#39'b'"_s},
    {"quote alone", u"'"_s, u"Str = #39"_s},
    {"control characters", u"a\tb\r\n"_s, u"Str = 'a'#9'b'#13#10"_s},
    {"delete and above", u"\u007F\u0080\u00E9"_s, u"Str = #127#128#233"_s},
    {"Cyrillic", u"\u043F\u0430"_s, u"Str = #1087#1072"_s},
    {"surrogate pair as two codes", u"\U0001F600"_s, u"Str = #55357#56832"_s},
    {"space and tilde stay quoted", u" ~ "_s, u"Str = ' ~ '"_s},
    {"64 characters on the property line", Repeat(u'a', 64),
     u"Str = '"_s + Repeat(u'a', 64) + u"'"_s},
    {"65 characters start on the next line, cut after 64", Repeat(u'a', 65),
     u"Str = \n  '"_s + Repeat(u'a', 64) + u"' +\n  'a'"_s},
    {"128 characters make two full lines", Repeat(u'b', 128),
     u"Str = \n  '"_s + Repeat(u'b', 64) + u"' +\n  '"_s + Repeat(u'b', 64) + u"'"_s},
    {"a code piece counts as one character", Repeat(u'a', 63) + u"\u00E9b"_s,
     u"Str = \n  '"_s + Repeat(u'a', 63) + u"'#233 +\n  'b'"_s},
    {"codes across the cut", Repeat(u'\n', 65),
     u"Str = \n  "_s + QString(u"#10"_s).repeated(64) + u" +\n  #10"_s},
};

TEST(ComponentWrite, StringsArePiecesCutEvery64Characters) {
    for (const TStringCase &c : StringCases) {
        SCOPED_TRACE(c.Name);
        TSample sample;
        sample.Str = c.Value;
        const QString text = QString::fromLatin1(ComponentToText(sample));
        const QString expected = QString(c.Written).replace(u"\n"_s, u"\r\n  "_s);
        EXPECT_TRUE(text.contains(u"\r\n  "_s + expected + u"\r\n"_s)) << text.toStdString();
        TSample back;
        TextToComponent(text, back);
        EXPECT_EQ(back.Str, c.Value);
    }
}

TEST(ComponentWrite, LongListLinesAreCutOnTheirOwnLines) {
    TSample sample;
    sample.Lines = {Repeat(u'x', 70), QString()};
    const QByteArray text = ComponentToText(sample);
    const QByteArray expected =
        "  Lines.Strings = (\r\n    '" + QByteArray(64, 'x') + "' +\r\n    'xxxxxx'\r\n    '')\r\n";
    EXPECT_TRUE(text.contains(expected)) << text.toStdString();
    TSample back;
    TextToComponent(QString::fromLatin1(text), back);
    EXPECT_EQ(back.Lines, sample.Lines);
}

TEST(ComponentWrite, OutputIsSevenBitWithCrLfLines) {
    TSample sample;
    sample.Str = u"\u00FC\u4E2D\r\n\t"_s + Repeat(u'\u0416', 100);
    sample.Lines = {u"\u00E9"_s};
    const QByteArray text = ComponentToText(sample);
    for (const char c : text)
        ASSERT_TRUE(static_cast<unsigned char>(c) < 128);
    EXPECT_EQ(text.count('\n'), text.count("\r\n"));
    EXPECT_TRUE(text.endsWith("end\r\n"));
}

} // namespace
