// Writing and reading back: every value survives, and what an object keeps
// without knowing it goes back to the file in its place.

#include "ConfigTestSupport.h"
#include "SampleObjects.h"
#include "config/ComponentText.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct TRoundTripCase {
    const char *Name;
    std::function<void(TSample &)> Fill;
};

const TRoundTripCase RoundTripCases[] = {
    {"quotes", [](TSample &S) { S.Str = u"'a''b'"_s; }},
    {"control characters", [](TSample &S) { S.Str = QString(u"\u0000\u0001\t\r\n\u001F"_s); }},
    {"Cyrillic", [](TSample &S) { S.Str = u"\u041F\u0440\u0438\u0432\u0435\u0442"_s; }},
    {"64 characters", [](TSample &S) { S.Str = QString(64, u'q'); }},
    {"65 characters", [](TSample &S) { S.Str = QString(65, u'q'); }},
    {"a thousand mixed characters",
     [](TSample &S) {
         for (int i = 0; i < 1000; ++i)
             S.Str += QChar(char16_t(i * 37 % 0xD000));
     }},
    {"empty collection", [](TSample &S) { S.Items.Clear(); }},
    {"items with every kind",
     [](TSample &S) {
         TSampleItem &item = S.Items.Add();
         item.Number = -1;
         item.Text = u"it's"_s;
         item.Flag = true;
         item.Colour = clBlue;
         item.Lines = {u"a"_s, QString(), QString(70, u'z')};
         S.Items.Add();
     }},
    {"string lists",
     [](TSample &S) {
         S.Lines = {QString(), u"\u00E9"_s, u"'"_s, QString(200, u'x')};
     }},
    {"doubles",
     [](TSample &S) {
         S.Dbl = 0.09;
         S.Font.Size = 11;
     }},
    {"double extremes", [](TSample &S) { S.Dbl = -1.7976931348623157e308; }},
    {"tiny double", [](TSample &S) { S.Dbl = 4.9e-324; }},
    {"singles", [](TSample &S) { S.Sgl = 0.1f; }},
    {"single extremes", [](TSample &S) { S.Sgl = -std::numeric_limits<float>::max(); }},
    {"integers",
     [](TSample &S) {
         S.Int = std::numeric_limits<qint32>::min();
         S.IntDef = std::numeric_limits<qint32>::max();
         S.Card = std::numeric_limits<quint32>::max();
     }},
    {"enumerations and Booleans",
     [](TSample &S) {
         S.Colour = clBlue;
         S.ColourDef = clRed;
         S.Bool = true;
         S.BoolDef = false;
     }},
};

TEST(ComponentRoundTrip, ValuesSurviveWriteAndRead) {
    for (const TRoundTripCase &c : RoundTripCases) {
        SCOPED_TRACE(c.Name);
        TSample written;
        c.Fill(written);
        const QByteArray text = ComponentToText(written);
        TSample back;
        TextToComponent(QString::fromLatin1(text), back);
        EXPECT_EQ(back.Str, written.Str);
        EXPECT_EQ(back.Int, written.Int);
        EXPECT_EQ(back.IntDef, written.IntDef);
        EXPECT_EQ(back.Card, written.Card);
        EXPECT_EQ(back.Bool, written.Bool);
        EXPECT_EQ(back.BoolDef, written.BoolDef);
        EXPECT_EQ(back.Colour, written.Colour);
        EXPECT_EQ(back.ColourDef, written.ColourDef);
        EXPECT_EQ(back.Sgl, written.Sgl);
        EXPECT_DOUBLE_EQ(back.Dbl, written.Dbl);
        EXPECT_EQ(back.Lines, written.Lines);
        EXPECT_EQ(back.Font.Size, written.Font.Size);
        if (written.Items.Count() > 0) {
            ASSERT_EQ(back.Items.Count(), written.Items.Count());
            for (int i = 0; i < written.Items.Count(); ++i) {
                EXPECT_EQ(back.Items.Items(i).Number, written.Items.Items(i).Number);
                EXPECT_EQ(back.Items.Items(i).Text, written.Items.Items(i).Text);
                EXPECT_EQ(back.Items.Items(i).Flag, written.Items.Items(i).Flag);
                EXPECT_EQ(back.Items.Items(i).Colour, written.Items.Items(i).Colour);
                EXPECT_EQ(back.Items.Items(i).Lines, written.Items.Items(i).Lines);
            }
        }
        EXPECT_EQ(ComponentToText(back), text) << "a second write gives the same text";
    }
}

// A file with properties the object does not model, before, between and
// after the known ones, in items and of every value kind, in the form the
// writer gives them.
const char *const CarriedFile =
    "object TSample\r\n"
    "  Before = 1\r\n"
    "  Int = 4\r\n"
    "  Proxy = 'x'\r\n"
    "  Relays = <\r\n"
    "    item\r\n"
    "      Host = 'h'\r\n"
    "      Users = <\r\n"
    "        item\r\n"
    "          Name = 'u'\r\n"
    "        end>\r\n"
    "    end\r\n"
    "    item\r\n"
    "    end>\r\n"
    "  Empty = <>\r\n"
    "  Card = 0\r\n"
    "  Bool = False\r\n"
    "  Colour = clRed\r\n"
    "  Items = <\r\n"
    "    item\r\n"
    "      Number = 1\r\n"
    "      Extra = 'e'\r\n"
    "      Flag = False\r\n"
    "      Colour = clRed\r\n"
    "      Style = [fsBold, fsItalic]\r\n"
    "    end>\r\n"
    "  Gain = 2.5s\r\n"
    "  Lines.Strings = (\r\n"
    "    'a')\r\n"
    "  Font.Name = 'F'\r\n"
    "  Font.Weight = 700\r\n"
    "  Blob = {\r\n"
    "    0011223344556677889900112233445566778899001122334455667788990011\r\n"
    "    2233}\r\n"
    "  Commands.Strings = (\r\n"
    "    'one'\r\n"
    "    '"
    "0123456789012345678901234567890123456789012345678901234567890123' +\r\n"
    "    '4')\r\n"
    "  Mixed = (\r\n"
    "    1\r\n"
    "    $FF\r\n"
    "    ()\r\n"
    "    (\r\n"
    "      x))\r\n"
    "  Text = \r\n"
    "    '"
    "#123456789012345678901234567890123456789012345678901234567890123' +\r\n"
    "    #39\r\n"
    "  Precise = 0.100000000000000000000001\r\n"
    "  Zed = nil\r\n"
    "end\r\n";

TEST(ComponentRoundTrip, UnknownPropertiesAreWrittenBackInTheirPlace) {
    TSample sample;
    sample.Keep = true;
    const QString text = QString::fromLatin1(CarriedFile);
    TextToComponent(text, sample);
    EXPECT_EQ(sample.Int, 4);
    EXPECT_EQ(sample.Font.Name, u"F"_s);
    EXPECT_EQ(sample.Lines, QStringList{u"a"_s});
    ASSERT_EQ(sample.Items.Count(), 1);
    EXPECT_EQ(sample.Items.Items(0).Carried().Items().size(), 2u);
    EXPECT_EQ(QString::fromLatin1(ComponentToText(sample)), text);

    // Reading the file again replaces what was kept rather than adding to it.
    TextToComponent(text, sample);
    EXPECT_EQ(QString::fromLatin1(ComponentToText(sample)), text);

    // A changed known value is written; the carried ones stay as they were.
    sample.Int = 5;
    EXPECT_EQ(QString::fromLatin1(ComponentToText(sample)),
              QString(text).replace(u"Int = 4"_s, u"Int = 5"_s));
}

TEST(ComponentRoundTrip, ValueKeptFromALaterReadReplacesTheOldOne) {
    TSample sample;
    sample.Keep = true;
    TextToComponent(u"object TSample Proxy = 'x' Port = 1 end"_s, sample);
    TextToComponent(u"object TSample PROXY = 'y' end"_s, sample);
    ASSERT_EQ(sample.Carried().Items().size(), 2u);
    const TPropNode *proxy = sample.Carried().Find(u"proxy"_s);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->Value.Text, u"y"_s);
    EXPECT_EQ(proxy->Value.Kind, vkString);
}

} // namespace
