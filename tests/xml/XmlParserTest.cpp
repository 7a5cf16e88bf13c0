// The parts the scanner reports for whole documents.

#include "xml/XmlParser.h"

#include "xml/XmlTestSupport.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>

// The table rows of every file that instantiates XmlScan run here.
TEST_P(XmlScan, ReportsTheseParts) {
    const TScanCase &Case = GetParam();
    EXPECT_EQ(ScanAll(QString::fromUtf8(Case.Document)), Case.Parts);
}

namespace {

const TScanCase StructureCases[] = {
    {"empty element with one attribute", R"(<a x="1"/>)", {R"(EmptyTag:a{x="1"})"}},
    {"start tag then its end tag",
     R"(<TRACK CASTTITLE="x"></TRACK>)",
     {R"(StartTag:TRACK{CASTTITLE="x"})", "EndTag:TRACK"}},
    {"blank text between tags is no part",
     "<P a=\"1\"> \n\t\r </P>",
     {R"(StartTag:P{a="1"})", "EndTag:P"}},
    {"text keeps the name and attributes of the tag before it",
     R"(<P a="1"> hi </P>)",
     {R"(StartTag:P{a="1"})", R"(Content:P="hi"{a="1"})", "EndTag:P"}},
    {"comment keeps the name of the tag before it",
     R"(<X k="v"/><!-- note -->)",
     {R"(EmptyTag:X{k="v"})", R"(Comment:X{k="v"})"}},
    {"CDATA is kept exactly",
     "<d><![CDATA[ a <b> &amp;\n  c ]]></d>",
     {"StartTag:d", "CData:d=\" a <b> &amp;\n  c \"", "EndTag:d"}},
    {"XML declaration gives its pseudo attributes",
     R"(<?xml version="1.0" encoding="utf-8"?><r/>)",
     {R"(Prolog:{version="1.0",encoding="utf-8"})", "EmptyTag:r"}},
    {"declaration clears the name of the tag before it",
     R"(<a x="1"/><?xml version="1.0"?>)",
     {R"(EmptyTag:a{x="1"})", R"(Prolog:{version="1.0"})"}},
    {"xml followed by a letter is a processing instruction",
     R"(<?xml-stylesheet href="a.css"?>)",
     {R"(PI:xml-stylesheet=" href="a.css""{href="a.css"})"}},
    {"processing instruction", "<?go fast now?><a/>", {R"(PI:go=" fast now")", "EmptyTag:a"}},
    {"document type declaration", "<!DOCTYPE r><r/>", {"Dtdc:", "EmptyTag:r"}},
    {"end tag has no attributes", R"(</a x="1">)", {"EndTag:a"}},
    {"end tag drops attributes that had references",
     "<a/></a x=\"&amp;\n\">",
     {"EmptyTag:a", "EndTag:a"}},
    {"end tag closed by slash becomes empty element", R"(</a x="1"/>)", {R"(EmptyTag:a{x="1"})"}},
    {"slash after the name makes an empty element",
     "<a/><b /><c\t/>",
     {"EmptyTag:a", "EmptyTag:b", "EmptyTag:c"}},
    {"attributes with both quotation marks and blanks around =",
     "<a x = '1' y\n=\n\"2\" z='say \"hi\"'/>",
     {R"(EmptyTag:a{x="1",y="2",z="say "hi""})"}},
    {"attribute name cannot begin with a digit", R"(<a 1x="1" y="2">)", {"StartTag:a"}},
    {"attribute names may begin with Latin-1 letters",
     R"(<a é="1" ×="2"/>)",
     {R"(StartTag:a{é="1"})"}},
    {"duplicate attributes are all listed", R"(<a x="1" x="2"/>)", {R"(EmptyTag:a{x="1",x="2"})"}},
    {"greater-than inside a value does not end the tag",
     R"(<a x="1>2"/>)",
     {R"(EmptyTag:a{x="1>2"})"}},
};
INSTANTIATE_TEST_SUITE_P(Structure, XmlScan, testing::ValuesIn(StructureCases), ScanCaseName);

const TScanCase TextCases[] = {
    {"text runs are normalised",
     "<p>  Rock &amp; \t\r\n Roll  </p>",
     {R"(StartTag:p)", R"(Content:p="Rock & Roll")", "EndTag:p"}},
    {"predefined and character references in text",
     "<p>&lt;&gt;&amp;&apos;&quot;&#65;&#x41;&#X41;&#233;&#8364;&#1046;&#x1F600;</p>",
     {"StartTag:p", R"(Content:p="<>&'"AAAé€Ж😀")", "EndTag:p"}},
    {"unknown reference gives its bare name",
     "<p>a &foo; b</p>",
     {"StartTag:p", R"(Content:p="a foo b")", "EndTag:p"}},
    {"ampersand without semicolon is dropped",
     "<p>Tom & Jerry</p>",
     {"StartTag:p", R"(Content:p="Tom Jerry")", "EndTag:p"}},
    {"a reference never swallows the markup after it",
     R"(<p>a & b</p><TRACK CASTTITLE="x;"/>)",
     {"StartTag:p", R"(Content:p="a b")", "EndTag:p", R"(EmptyTag:TRACK{CASTTITLE="x;"})"}},
    {"blank character references are normalised away",
     "<p>&#32;x&#9;&#10;y&#13;</p>",
     {"StartTag:p", R"(Content:p="x y")", "EndTag:p"}},
    {"blank-only reference text is no part", "<p>&#32;&#9;</p>", {"StartTag:p", "EndTag:p"}},
    {"text before the first tag", "hello <a/>", {R"(Content:="hello")", "EmptyTag:a"}},
};
INSTANTIATE_TEST_SUITE_P(Text, XmlScan, testing::ValuesIn(TextCases), ScanCaseName);

const TScanCase AttributeValueCases[] = {
    {"predefined references",
     R"(<a v="&lt;&gt;&amp;&apos;&quot;"/>)",
     {R"(EmptyTag:a{v="<>&'""})"}},
    {"character numbers",
     R"(<a v="&#65;&#x41;&#X41;&#233;&#8364;&#1046;"/>)",
     {R"(EmptyTag:a{v="AAAé€Ж"})"}},
    {"number that does not parse is a space",
     R"(<a v="x&#zz;y" w="&#;" h="&#x;"/>)",
     {R"(EmptyTag:a{v="x y",w=" ",h=" "})"}},
    {"no character is a question mark",
     R"(<a v="&#xD800;&#x110000;&#99999999999;"/>)",
     {R"(EmptyTag:a{v="???"})"}},
    {"undeclared name gives the bare name", R"(<a v="&foo;"/>)", {R"(EmptyTag:a{v="foo"})"}},
    {"ampersand without semicolon stays", R"(<a v="AT&T"/>)", {R"(EmptyTag:a{v="AT&T"})"}},
    {"TAB LF and CR become spaces", "<a v=\"1\t2\n3\r4\"/>", {R"(EmptyTag:a{v="1 2 3 4"})"}},
};
INSTANTIATE_TEST_SUITE_P(AttributeValues, XmlScan, testing::ValuesIn(AttributeValueCases),
                         ScanCaseName);

const TScanCase MalformedCases[] = {
    {"unterminated attribute value takes the rest",
     R"(<a v="abc/><b/>)",
     {R"(StartTag:a{v="abc/><b/>"})"}},
    {"unterminated tag", R"(<a x="1")", {R"(StartTag:a{x="1"})"}},
    {"unterminated comment", "<a/><!-- never closed <b/>", {"EmptyTag:a", "Comment:a"}},
    {"unterminated CDATA", "<![CDATA[abc", {R"(CData:="abc")"}},
    {"unterminated processing instruction", "<?pi data", {R"(PI:pi=" data")"}},
    {"unterminated XML declaration", R"(<?xml version="1.0")", {R"(Prolog:{version="1.0"})"}},
    {"unterminated document type declaration", "<!DOCTYPE r [<!ENTITY e 'x'>", {"Dtdc:"}},
    {"document ends right after <", "text<", {R"(Content:="text")", "StartTag:"}},
    {"document is only <", "<", {"StartTag:"}},
    {"document ends right after </", "</", {"EndTag:"}},
    {"stray < starts a tag", "a < b", {R"(Content:="a")", "StartTag: b"}},
    {"empty document", "", {}},
    {"value without quotes is skipped up to the next quoted one",
     R"(<a x=1 y="2">)",
     {R"(StartTag:a{x="2"})"}},
};
INSTANTIATE_TEST_SUITE_P(Malformed, XmlScan, testing::ValuesIn(MalformedCases), ScanCaseName);

// --- Scan position and document facts ---

TEST(XmlScanPosition, EveryScanAfterTheEndIsFalse) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral("<a/>"));
    ASSERT_TRUE(Parser.Scan());
    EXPECT_FALSE(Parser.Scan());
    EXPECT_FALSE(Parser.Scan());
    EXPECT_EQ(*Parser.CurStart, u'\0');
    EXPECT_EQ(*Parser.CurFinal, u'>');
}

TEST(XmlScanPosition, StartAndFinalOfEachPart) {
    const QString Document = QStringLiteral("<a x='1'>text<!--c--><?p?><![CDATA[d]]></a>");
    const struct {
        TPartType Kind;
        qsizetype Start, Final;
    } Expected[] = {{ptStartTag, 0, 8}, {ptContent, 9, 12}, {ptComment, 13, 20},
                    {ptPI, 21, 25},     {ptCData, 26, 38},  {ptEndTag, 39, 42}};
    TXmlParser Parser;
    Parser.LoadFromBuffer(Document);
    const char16_t *Base = nullptr;
    for (const auto &Part : Expected) {
        ASSERT_TRUE(Parser.Scan());
        if (!Base)
            Base = Parser.CurStart; // the first part starts at the first character
        SCOPED_TRACE(DescribePart(Parser));
        EXPECT_EQ(Parser.CurPartType, Part.Kind);
        EXPECT_EQ(Parser.CurStart - Base, Part.Start);
        EXPECT_EQ(Parser.CurFinal - Base, Part.Final);
    }
    EXPECT_FALSE(Parser.Scan());
    EXPECT_EQ(Parser.CurStart - Base, Document.size());
}

TEST(XmlScanPosition, StartScanReportsTheSameDocumentAgain) {
    const QString Document = QStringLiteral(
        "<!DOCTYPE r [<!ENTITY e 'E'><!ATTLIST t d CDATA 'dflt'>]><r><t v='&e;'/>&e;</r>");
    TXmlParser Parser;
    Parser.LoadFromBuffer(Document);
    const std::vector<std::string> First = ScanAll(Parser);
    Parser.StartScan();
    EXPECT_EQ(ScanAll(Parser), First);
    EXPECT_EQ(Parser.Entities.Count(), 1);
}

TEST(XmlScanPosition, LoadingAnotherDocumentStartsItFromTheBeginning) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral("<first/><more/>"));
    ASSERT_TRUE(Parser.Scan());
    Parser.LoadFromBuffer(QStringLiteral("<second/>"));
    EXPECT_EQ(ScanAll(Parser), std::vector<std::string>{"EmptyTag:second"});
}

TEST(XmlScanPosition, AnEmptyScannerHasNoParts) {
    TXmlParser Parser;
    EXPECT_FALSE(Parser.Scan());
    Parser.SetBuffer(nullptr);
    EXPECT_FALSE(Parser.Scan());
}

TEST(XmlLoading, SourcesAndOwnership) {
    const char16_t Text[] = u"<a/>";
    TXmlParser Parser;
    ASSERT_TRUE(Parser.LoadFromBuffer(Text));
    EXPECT_EQ(Parser.FSource, QStringLiteral("<MEM>"));
    EXPECT_EQ(Parser.FBufferSize, 10); // (4 characters + NUL) * 2 bytes
    EXPECT_EQ(ScanAll(Parser), std::vector<std::string>{"EmptyTag:a"});

    Parser.SetBuffer(Text);
    EXPECT_EQ(Parser.FSource, QStringLiteral("<REFERENCE>"));
    EXPECT_EQ(Parser.FBufferSize, 0);
    EXPECT_EQ(ScanAll(Parser), std::vector<std::string>{"EmptyTag:a"});

    Parser.Clear();
    EXPECT_TRUE(Parser.FSource.isEmpty());
    EXPECT_FALSE(Parser.Scan());
}

TEST(XmlLoading, AViewIsCopiedUpToItsFirstNul) {
    const std::u16string Text(u"<a/>\0<b/>", 9);
    auto Copy = std::make_unique<std::u16string>(Text);
    TXmlParser Parser;
    ASSERT_TRUE(Parser.LoadFromBuffer(QStringView(*Copy)));
    Copy.reset(); // the scanner holds its own copy
    EXPECT_EQ(ScanAll(Parser), std::vector<std::string>{"EmptyTag:a"});
}

TEST(XmlLoading, ALoadedStringStaysValidAfterTheCallerChangesIt) {
    QString Text = QStringLiteral("<a/>");
    Text.detach();
    TXmlParser Parser;
    Parser.LoadFromBuffer(Text);
    Text.replace(u'a', u'b');
    Text = QString();
    EXPECT_EQ(ScanAll(Parser), std::vector<std::string>{"EmptyTag:a"});
}

TEST(XmlDocumentFacts, XmlDeclarationFillsTheFacts) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(
        QStringLiteral(R"(<?xml version="1.1" encoding="iso-8859-1" standalone="yes"?><r/>)"));
    EXPECT_EQ(Parser.FCurEncoding, QStringLiteral("UTF-8"));
    ScanAll(Parser);
    EXPECT_EQ(Parser.FXmlVersion, QStringLiteral("1.1"));
    EXPECT_EQ(Parser.FEncoding, QStringLiteral("iso-8859-1"));
    EXPECT_EQ(Parser.FCurEncoding, QStringLiteral("ISO-8859-1"));
    EXPECT_TRUE(Parser.FStandalone);
}

TEST(XmlDocumentFacts, StandaloneMustBeExactlyYes) {
    for (const char *Value : {"Yes", "no", "yes "}) {
        SCOPED_TRACE(Value);
        TXmlParser Parser;
        Parser.LoadFromBuffer(
            QStringLiteral("<?xml version='1.0' standalone='%1'?>").arg(QLatin1String(Value)));
        ScanAll(Parser);
        EXPECT_FALSE(Parser.FStandalone);
        EXPECT_EQ(Parser.FCurEncoding, QStringLiteral("UTF-8"));
    }
}

// --- Hooks and options ---

class TMarkingParser : public TXmlParser {
public:
    QString TranslateCharacter(quint32 AUnicodeValue) override {
        return QStringLiteral("[%1]").arg(AUnicodeValue);
    }
    QString TranslateEncoding(const QString &ASource) override { return ASource.toUpper(); }
};

TEST(XmlHooks, CharacterAndEncodingHooksAreUsed) {
    TMarkingParser Parser;
    Parser.LoadFromBuffer(QStringLiteral("<a v='&#65;'>&#x42;<![CDATA[cd]]></a>"));
    EXPECT_EQ(ScanAll(Parser),
              (std::vector<std::string>{R"(StartTag:a{v="[65]"})", R"(Content:a="[66]"{v="[65]"})",
                                        R"(CData:a="CD"{v="[65]"})", "EndTag:a"}));
}

TEST(XmlHooks, TranslateCharacterCodePoints) {
    const struct {
        quint32 Value;
        QString Text;
    } Cases[] = {{65, QStringLiteral("A")},        {233, QStringLiteral("é")},
                 {8364, QStringLiteral("€")},      {0x1F600, QStringLiteral("😀")},
                 {0xFFFF, QString(QChar(0xFFFF))}, {0xD800, QStringLiteral("?")},
                 {0xDFFF, QStringLiteral("?")},    {0x110000, QStringLiteral("?")}};
    TXmlParser Parser;
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Value);
        EXPECT_EQ(Parser.TranslateCharacter(Case.Value), Case.Text);
    }
}

TEST(XmlOptions, WithoutNormalisingTextIsKeptAsWritten) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral("<p> a \t b </p>"));
    Parser.FNormalize = false;
    EXPECT_EQ(ScanAll(Parser),
              (std::vector<std::string>{"StartTag:p", "Content:p=\" a \t b \"", "EndTag:p"}));
}

} // namespace
