// Reading the component text format: what the reader accepts, what it skips,
// and how it stops.

#include "ConfigTestSupport.h"
#include "SampleObjects.h"
#include "config/ComponentText.h"
#include "config/ConfigErrors.h"

#include <gtest/gtest.h>

namespace {

void Read(const QString &AText, TPersistent &AObj) {
    TextToComponent(AText, AObj);
}

// A file around property lines.
QString File(const QString &AProps) {
    return u"object TSample\r\n"_s + AProps + u"\r\nend\r\n"_s;
}

TEST(ComponentRead, AcceptsTheSyntaxVariants) {
    struct TCase {
        const char *Name;
        QString Text;
    };
    const TCase cases[] = {
        {"as written", u"object TSample\r\n  Int = 3\r\n  Str = 'x'\r\nend\r\n"_s},
        {"another root class", u"object TOther\r\n  Int = 3\r\n  Str = 'x'\r\nend\r\n"_s},
        {"object name and class",
         u"object Settings1: TSample\r\n  Int = 3\r\n  Str = 'x'\r\nend"_s},
        {"inherited with an index", u"inherited Settings1: TSample [2]\nInt = 3\nStr = 'x'\nend"_s},
        {"inline", u"inline X: TSample Int = 3 Str = 'x' end"_s},
        {"keywords and names in any case", u"OBJECT TSample\n  INT = 3\n  str = 'x'\nEnd"_s},
        {"hexadecimal integer", u"object TSample\n Int = $3\n Str = 'x'\nend"_s},
        {"doubled quote and arbitrary cuts",
         u"object TSample\n Int = 3\n Str = \n 'x''' +\n #39 + ''\nend"_s},
        {"text after the root's end",
         u"object TSample\n Int = 3\n Str = 'x'\nend\n? 'unterminated"_s},
        {"child objects are passed over",
         u"object TSample\n Int = 3\n Str = 'x'\n object Child: TChild\n  Int = 9\n end\nend"_s},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TSample sample;
        Read(c.Text, sample);
        EXPECT_EQ(sample.Int, 3);
        EXPECT_TRUE(sample.Str.startsWith(u'x'));
    }
}

TEST(ComponentRead, ValuesOfEveryKind) {
    TSample sample;
    Read(File(uR"(Int = -7
  Card = 4000000000
  Bool = TRUE
  Colour = CLBLUE
  Str = 'a'#$41#66
  Dbl = 0.5
  Sgl = 2.5s
  Lines.Strings = ('x' 'y')
  Font.Name = 'Arial'
  FONT.size = 14
  Accessed = 'lower')"_s),
         sample);
    EXPECT_EQ(sample.Int, -7);
    EXPECT_EQ(sample.Card, 4000000000u);
    EXPECT_TRUE(sample.Bool);
    EXPECT_EQ(sample.Colour, clBlue);
    EXPECT_EQ(sample.Str, u"aAB"_s);
    EXPECT_EQ(sample.Dbl, 0.5);
    EXPECT_EQ(sample.Sgl, 2.5f);
    EXPECT_EQ(sample.Lines, (QStringList{u"x"_s, u"y"_s}));
    EXPECT_EQ(sample.Font.Name, u"Arial"_s);
    EXPECT_EQ(sample.Font.Size, 14);
    EXPECT_EQ(sample.Accessed, u"LOWER"_s);
}

// Numbers that are not in the file's own form but still mean one value.
TEST(ComponentRead, NumberFormsAndRanges) {
    struct TCase {
        QString Line;
        qint32 Int;
        quint32 Card;
    };
    const TCase cases[] = {
        {u"Int = $FFFFFFFF\nCard = $FFFFFFFF"_s, -1, 0xFFFFFFFFu},
        {u"Int = 2147483647\nCard = -1"_s, 2147483647, 0xFFFFFFFFu},
        {u"Int = -2147483648\nCard = 0"_s, -2147483647 - 1, 0},
        // Out of range: skipped, the values stay at 11 and 12.
        {u"Int = 2147483648\nCard = 4294967296"_s, 11, 12},
        {u"Int = -2147483649\nCard = $100000000"_s, 11, 12},
        {u"Int = 99999999999999999999\nCard = -2147483649"_s, 11, 12},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Line.toStdString());
        TSample sample;
        sample.Int = 11;
        sample.Card = 12;
        Read(File(c.Line), sample);
        EXPECT_EQ(sample.Int, c.Int);
        EXPECT_EQ(sample.Card, c.Card);
    }
    TSample floats;
    Read(File(u"Dbl = 3\nSgl = 1E-3\n"_s), floats);
    EXPECT_EQ(floats.Dbl, 3.0);
    EXPECT_EQ(floats.Sgl, 1e-3f);
}

// A value of the wrong kind costs its own line only.
TEST(ComponentRead, WrongKindIsSkippedAndReadingGoesOn) {
    const QString lines[] = {
        u"Int = 'text'"_s,      u"Int = 1.5"_s,      u"Int = True"_s,
        u"Card = 'x'"_s,        u"Bool = 1"_s,       u"Bool = Yes"_s,
        u"Colour = clPurple"_s, u"Colour = 2"_s,     u"Str = 12"_s,
        u"Str = Ident"_s,       u"Str = ('a')"_s,    u"Dbl = 'x'"_s,
        u"Dbl = True"_s,        u"Sgl = 1E300"_s,    u"Items = 5"_s,
        u"Items = ('a')"_s,     u"Lines = 'a'"_s,    u"Lines.Strings = (1 2)"_s,
        u"Font = 'x'"_s,        u"Int = [a, b]"_s,   u"Str = {00FF}"_s,
        u"Int = <>"_s,          u"Str.Length = 3"_s,
    };
    for (const QString &line : lines) {
        SCOPED_TRACE(line.toStdString());
        TSample sample;
        sample.Int = 1;
        sample.Card = 2;
        sample.Bool = true;
        sample.Colour = clGreen;
        sample.Str = u"s"_s;
        sample.Dbl = 1.5;
        sample.Sgl = 2.5f;
        sample.Items.Add().Number = 3;
        sample.Lines = {u"l"_s};
        Read(File(u"IntDef = 8\n"_s + line + u"\nBoolDef = False"_s), sample);
        EXPECT_EQ(sample.Int, 1);
        EXPECT_EQ(sample.Card, 2u);
        EXPECT_TRUE(sample.Bool);
        EXPECT_EQ(sample.Colour, clGreen);
        EXPECT_EQ(sample.Str, u"s"_s);
        EXPECT_EQ(sample.Dbl, 1.5);
        EXPECT_EQ(sample.Sgl, 2.5f);
        ASSERT_EQ(sample.Items.Count(), 1);
        EXPECT_EQ(sample.Items.Items(0).Number, 3);
        EXPECT_EQ(sample.Lines, QStringList{u"l"_s});
        // The lines before and after it were read.
        EXPECT_EQ(sample.IntDef, 8);
        EXPECT_FALSE(sample.BoolDef);
    }
}

TEST(ComponentRead, UnknownPropertiesAreSkippedWhateverTheirValue) {
    TSample sample;
    Read(File(uR"(Proxy = 'x'
  Int = 4
  Nested = <
    item
      Inner = <
        item
          Deep = ('a' 1 (2))
        end>
    end>
  Flags = [fsBold, fsItalic]
  Blob = {
    0A0B}
  Some.Dotted.Name = 1.5E3s
  Str = 'after')"_s),
         sample);
    EXPECT_EQ(sample.Int, 4);
    EXPECT_EQ(sample.Str, u"after"_s);
    EXPECT_TRUE(sample.Carried().IsEmpty());
}

TEST(ComponentRead, PropertiesMissingFromTheFileKeepTheirValues) {
    TSample sample;
    sample.Int = 5;
    sample.Str = u"kept"_s;
    Read(File(u"Bool = True"_s), sample);
    EXPECT_EQ(sample.Int, 5);
    EXPECT_EQ(sample.Str, u"kept"_s);
    EXPECT_TRUE(sample.Bool);
}

// A non-empty collection replaces the items with fresh ones; an empty one
// leaves the items of creation.
TEST(ComponentRead, CollectionsReplaceUnlessEmpty) {
    TSample sample;
    sample.Items.Add().Text = u"old 1"_s;
    sample.Items.Add().Text = u"old 2"_s;
    Read(File(u"Items = <>"_s), sample);
    ASSERT_EQ(sample.Items.Count(), 2);
    EXPECT_EQ(sample.Items.Items(1).Text, u"old 2"_s);

    sample.Items.Items(0).Number = 99;
    Read(File(u"Items = <\n item\n  Text = 'new'\n end\n item\n end>"_s), sample);
    ASSERT_EQ(sample.Items.Count(), 2);
    EXPECT_EQ(sample.Items.Items(0).Text, u"new"_s);
    EXPECT_EQ(sample.Items.Items(0).Number, 7); // creation value, not the old 99
    EXPECT_EQ(sample.Items.Items(1).Text, QString());
    EXPECT_EQ(sample.Items.Items(1).Collection(), &sample.Items);
    EXPECT_EQ(sample.Items.Items(1).Index(), 1);
}

TEST(ComponentRead, StringListsAreReplacedWhole) {
    TSample sample;
    sample.Lines = {u"a"_s, u"b"_s, u"c"_s};
    Read(File(u"Lines.Strings = (\n 'x')"_s), sample);
    EXPECT_EQ(sample.Lines, QStringList{u"x"_s});
    Read(File(u"Lines.Strings = ()"_s), sample);
    EXPECT_TRUE(sample.Lines.isEmpty());
}

// The line of the error is named; what came before it stays.
TEST(ComponentRead, ParseErrorsNameTheirLine) {
    struct TCase {
        const char *Name;
        QString Text;
        int Line;
        QString Reason;
    };
    const TCase cases[] = {
        {"empty text", QString(), 1, u"Unexpected end of file"_s},
        {"blank lines only", u"\r\n\r\n  "_s, 3, u"Unexpected end of file"_s},
        {"missing end", u"object TSample\r\n  Int = 1\r\n"_s, 3, u"Unexpected end of file"_s},
        {"unknown keyword", u"thing TSample\r\nend"_s, 1, u"'object' expected"_s},
        {"unterminated string", u"object TSample\r\n  Int = 1\r\n  Str = 'abc\r\nend"_s, 3,
         u"Unterminated string"_s},
        {"missing equals sign", u"object TSample\n Int = 1\n Card 2\nend"_s, 3, u"'=' expected"_s},
        {"invalid character", u"object TSample\n Int = 1\n Card = ?\nend"_s, 3,
         u"Invalid character"_s},
        {"invalid value", u"object TSample\n Int = 1\n Card = )\nend"_s, 3,
         u"Invalid property value"_s},
        {"plus without a string", u"object TSample\n Int = 1\n Str = 'a' +\n 5\nend"_s, 4,
         u"String expected"_s},
        {"collection without item", u"object TSample\n Int = 1\n Items = <\n Number = 1>\nend"_s, 4,
         u"'item' expected"_s},
        {"character code too large", u"object TSample\n Int = 1\n Str = #65536\nend"_s, 3,
         u"Invalid character code"_s},
        {"odd binary digits", u"object TSample\n Int = 1\n X = {ABC}\nend"_s, 3,
         u"Invalid binary value"_s},
        {"property after a child object",
         u"object TSample\n Int = 1\n object C: TC\n end\n Str = 'x'\nend"_s, 5,
         u"'end' expected"_s},
        {"lone CR line ends count", u"object TSample\r Int = 1\r Str = 'x\rend"_s, 3,
         u"Unterminated string"_s},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TSample sample;
        try {
            Read(c.Text, sample);
            ADD_FAILURE() << "no parse error";
        } catch (const EParserError &e) {
            EXPECT_EQ(e.Line(), c.Line);
            EXPECT_EQ(e.Reason(), c.Reason);
            EXPECT_EQ(e.Message(), c.Reason + u" on line "_s + QString::number(c.Line));
        }
        if (c.Text.contains(u"Int = 1"_s)) {
            EXPECT_EQ(sample.Int, 1) << "the line before the error was read";
        }
    }
}

TEST(ComponentRead, HostileNestingStopsWithAParseError) {
    const int depth = 100000;
    TSample sample;
    EXPECT_THROW(
        Read(u"object T\n X = "_s + QString(depth, u'(') + QString(depth, u')') + u"\nend"_s,
             sample),
        EParserError);
    QString collections = u"object T\n X = "_s;
    for (int i = 0; i < 1000; ++i)
        collections += u"< item Y = "_s;
    EXPECT_THROW(Read(collections, sample), EParserError);
}

} // namespace
