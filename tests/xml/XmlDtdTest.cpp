// Document type declarations: what they declare, how it shapes the scan, and
// the bounds on entities.

#include "xml/XmlParser.h"
#include "xml/XmlTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const TScanCase DeclaredAttributeCases[] = {
    {"default and fixed values are applied",
     R"(<!DOCTYPE r [<!ATTLIST t a CDATA "dflt" b CDATA #IMPLIED c CDATA #FIXED "fx"
         d CDATA #REQUIRED>]><r><t/><t a="own" c="other" b="x"/></r>)",
     {"Dtdc:", "StartTag:r", R"(EmptyTag:t{a="dflt",c="fx"})",
      R"(EmptyTag:t{a="own",c="fx",b="x"})", "EndTag:r"}},
    {"defaults belong to the declared element only",
     R"(<!DOCTYPE r [<!ATTLIST t a CDATA "dflt">]><u/><T/><t></t>)",
     {"Dtdc:", "EmptyTag:u", "EmptyTag:T", R"(StartTag:t{a="dflt"})", "EndTag:t"}},
    {"tokenised types lose surplus spaces",
     R"(<!DOCTYPE r [<!ATTLIST t id ID #IMPLIED n NMTOKENS #IMPLIED d CDATA #IMPLIED
         e (x|y) #IMPLIED>]><t id="  x  " n=" a   b " d=" a  b " e=" y " u=" u  u "/>)",
     {"Dtdc:", R"(EmptyTag:t{id="x",n="a b",d=" a  b ",e="y",u=" u  u "})"}},
    {"default values get references and tokenising too",
     R"(<!DOCTYPE r [<!ENTITY e "E"><!ATTLIST t a NMTOKENS "  x&#32;&#32;y  "
         b CDATA "&lt;&e;">]><t/>)",
     {"Dtdc:", R"(EmptyTag:t{a="x y",b="<E"})"}},
    {"first declaration of an attribute wins",
     R"(<!DOCTYPE r [<!ATTLIST t a CDATA "one"><!ATTLIST t a CDATA "two">]><t/>)",
     {"Dtdc:", R"(EmptyTag:t{a="one"})"}},
    {"a declaration in a comment of the subset does not count",
     R"(<!DOCTYPE r [<!-- <!ATTLIST t a CDATA "x"> -->]><t/>)",
     {"Dtdc:", "EmptyTag:t"}},
};
INSTANTIATE_TEST_SUITE_P(DeclaredAttributes, XmlScan, testing::ValuesIn(DeclaredAttributeCases),
                         ScanCaseName);

const TScanCase EntityCases[] = {
    {"internal entity in an attribute",
     R"(<!DOCTYPE r [<!ENTITY who "World &amp; Co">]><t v="Hello &who;!"/>)",
     {"Dtdc:", R"(EmptyTag:t{v="Hello World & Co!"})"}},
    {"internal entity in text is scanned in place, markup included",
     R"(<!DOCTYPE r [<!ENTITY e "<TRACK CASTTITLE='in'/>tail">]><r>head &e; end</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="head")", R"(EmptyTag:TRACK{CASTTITLE="in"})",
      R"(Content:TRACK="tail end"{CASTTITLE="in"})", "EndTag:r"}},
    {"nested entities",
     R"(<!DOCTYPE r [<!ENTITY a "[&b;]"><!ENTITY b "&lt;b&gt;">]><r v="&a;">&a;</r>)",
     {"Dtdc:", R"(StartTag:r{v="[<b>]"})", R"(Content:r="[<b>]"{v="[<b>]"})", "EndTag:r"}},
    {"first declaration of an entity wins",
     R"(<!DOCTYPE r [<!ENTITY e "one"><!ENTITY e "two">]><r>&e;</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="one")", "EndTag:r"}},
    {"quoted > does not end a declaration",
     R"(<!DOCTYPE r [<!ENTITY e 'a>b'>]><r>&e;</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="a>b")", "EndTag:r"}},
    {"external identifier before the subset",
     R"(<!DOCTYPE r PUBLIC "-//X//Y" "r.dtd" [<!ENTITY e "x">]><r>&e;</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="x")", "EndTag:r"}},
    {"external entities give their bare names",
     R"(<!DOCTYPE r [<!ENTITY s SYSTEM "s.xml"><!ENTITY p PUBLIC "-//P" "p.xml">
         <!ENTITY n SYSTEM "n.png" NDATA png>]><r v="&s;&p;&n;">&s; &p; &n;</r>)",
     {"Dtdc:", R"(StartTag:r{v="spn"})", R"(Content:r="s p n"{v="spn"})", "EndTag:r"}},
    {"parameter entities are not general entities",
     R"(<!DOCTYPE r [<!ENTITY % pe "x">%pe;]><r v="&pe;">&pe;</r>)",
     {"Dtdc:", R"(StartTag:r{v="pe"})", R"(Content:r="pe"{v="pe"})", "EndTag:r"}},
    {"self reference is cut at the recursion",
     R"(<!DOCTYPE r [<!ENTITY a "x&a;y">]><r v="&a;">&a;</r>)",
     {"Dtdc:", R"(StartTag:r{v="xay"})", R"(Content:r="xay"{v="xay"})", "EndTag:r"}},
    {"mutual recursion is cut too",
     R"(<!DOCTYPE r [<!ENTITY a "a&b;"><!ENTITY b "b&a;">]><r>&a;</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="aba")", "EndTag:r"}},
    {"an unterminated tag inside a replacement ends with it",
     R"(<!DOCTYPE r [<!ENTITY e "<b">]><r>&e;</r>)",
     {"Dtdc:", "StartTag:r", "StartTag:b", "EndTag:r"}},
    {"empty replacement",
     R"(<!DOCTYPE r [<!ENTITY e "">]><r>a&e;b</r>)",
     {"Dtdc:", "StartTag:r", R"(Content:r="ab")", "EndTag:r"}},
    {"only the first document type declaration counts",
     R"(<!DOCTYPE r [<!ENTITY e "one">]><!DOCTYPE q [<!ENTITY f "two">]><r>&e;&f;</r>)",
     {"Dtdc:", "Dtdc:", "StartTag:r", R"(Content:r="onef")", "EndTag:r"}},
};
INSTANTIATE_TEST_SUITE_P(Entities, XmlScan, testing::ValuesIn(EntityCases), ScanCaseName);

TEST(XmlDeclarations, AreRecordedInTheirLists) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral(R"(<!DOCTYPE playlist [
        <!ELEMENT TRACK (#PCDATA|b)*>
        <!ATTLIST TRACK CASTTITLE CDATA #REQUIRED kind (song|jingle) "song"
                        id ID #IMPLIED ref IDREF #IMPLIED refs IDREFS #IMPLIED
                        ent ENTITY #IMPLIED ents ENTITIES #IMPLIED tok NMTOKEN #IMPLIED
                        note NOTATION (png) #IMPLIED v CDATA #FIXED "1">
        <!ENTITY intro "Hello">
        <!ENTITY logo SYSTEM "logo.png" NDATA png>
        <!ENTITY % common "x">
        <!NOTATION png PUBLIC "-//PNG" "png.exe">
    ]><playlist/>)"));
    ASSERT_TRUE(Parser.Scan());
    EXPECT_EQ(Parser.CurPartType, ptDtdc);
    EXPECT_EQ(Parser.FRootName, QStringLiteral("playlist"));
    EXPECT_NE(Parser.FDtdcFinal, nullptr);
    EXPECT_EQ(*Parser.FDtdcFinal, u'>');
    EXPECT_EQ(Parser.FDtdcFinal, Parser.CurFinal);

    ASSERT_EQ(Parser.Elements.Count(), 1);
    const TElementDecl &Track = *Parser.Elements.Node(u"TRACK");
    EXPECT_EQ(Track.Value(), QStringLiteral("(#PCDATA|b)*"));
    const struct {
        const char16_t *Name;
        TAttrType Type;
        TAttrValueType ValueType;
        const char16_t *Value;
    } Attrs[] = {
        {u"CASTTITLE", atCData, vtNormal, u""}, {u"kind", atEnumeration, vtDefault, u"song"},
        {u"id", atID, vtImplied, u""},          {u"ref", atIdRef, vtImplied, u""},
        {u"refs", atIdRefs, vtImplied, u""},    {u"ent", atEntity, vtImplied, u""},
        {u"ents", atEntities, vtImplied, u""},  {u"tok", atNmToken, vtImplied, u""},
        {u"note", atNotation, vtImplied, u""},  {u"v", atCData, vtFixed, u"1"}};
    ASSERT_EQ(Track.AttrDecls.Count(), int(std::size(Attrs)));
    for (const auto &Expected : Attrs) {
        SCOPED_TRACE(QStringView(Expected.Name).toString().toStdString());
        const TAttr *Decl = Track.AttrDecls.Node(Expected.Name);
        ASSERT_NE(Decl, nullptr);
        EXPECT_EQ(Decl->AttrType, Expected.Type);
        EXPECT_EQ(Decl->ValueType, Expected.ValueType);
        EXPECT_EQ(Decl->Value(), QStringView(Expected.Value));
    }

    ASSERT_EQ(Parser.Entities.Count(), 2);
    EXPECT_EQ(Parser.Entities.Value(u"intro"), QStringLiteral("Hello"));
    EXPECT_FALSE(Parser.Entities.Node(u"intro")->External);
    const TEntityDecl &Logo = *Parser.Entities.Node(u"logo");
    EXPECT_TRUE(Logo.External);
    EXPECT_EQ(Logo.SystemId, QStringLiteral("logo.png"));
    EXPECT_EQ(Logo.NotationName, QStringLiteral("png"));
    ASSERT_EQ(Parser.ParEntities.Count(), 1);
    EXPECT_EQ(Parser.ParEntities.Value(u"common"), QStringLiteral("x"));
    ASSERT_EQ(Parser.Notations.Count(), 1);
    EXPECT_EQ(Parser.Notations.Node(u"png")->PublicId, QStringLiteral("-//PNG"));
    EXPECT_EQ(Parser.Notations.Node(u"png")->SystemId, QStringLiteral("png.exe"));

    Parser.Clear();
    EXPECT_TRUE(Parser.FRootName.isEmpty());
    EXPECT_EQ(Parser.FDtdcFinal, nullptr);
    EXPECT_TRUE(Parser.Elements.IsEmpty());
    EXPECT_TRUE(Parser.Entities.IsEmpty());
    EXPECT_TRUE(Parser.ParEntities.IsEmpty());
    EXPECT_TRUE(Parser.Notations.IsEmpty());
}

TEST(XmlDeclarations, TagAttributesCarryTheirDeclaration) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral(
        R"(<!DOCTYPE r [<!ATTLIST t id ID #IMPLIED k (a|b) "a" f CDATA #FIXED "1">]>)"
        R"(<t id="x" u="y" f="2"/>)"));
    ASSERT_TRUE(Parser.Scan());
    ASSERT_TRUE(Parser.Scan());
    const struct {
        const char16_t *Name;
        TAttrType Type;
        TAttrValueType ValueType;
        const char16_t *Value;
    } Expected[] = {{u"id", atID, vtImplied, u"x"},
                    {u"u", atUnknown, vtNormal, u"y"},
                    {u"f", atCData, vtFixed, u"1"},
                    {u"k", atEnumeration, vtDefault, u"a"}};
    ASSERT_EQ(Parser.CurAttr.Count(), int(std::size(Expected)));
    for (int I = 0; I < Parser.CurAttr.Count(); ++I) {
        SCOPED_TRACE(I);
        const TAttr &Attr = *Parser.CurAttr.Node(I);
        EXPECT_EQ(Attr.Name(), QStringView(Expected[I].Name));
        EXPECT_EQ(Attr.AttrType, Expected[I].Type);
        EXPECT_EQ(Attr.ValueType, Expected[I].ValueType);
        EXPECT_EQ(Attr.Value(), QStringView(Expected[I].Value));
    }
}

TEST(XmlDeclarations, WithoutDeclarationAttributesAreNormalAndUnknown) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(QStringLiteral(R"(<t a="1" b="2"/>)"));
    ASSERT_TRUE(Parser.Scan());
    for (const TAttr &Attr : Parser.CurAttr) {
        EXPECT_EQ(Attr.ValueType, vtNormal);
        EXPECT_EQ(Attr.AttrType, atUnknown);
    }
}

// --- Bounds on entities ---

// Everything a scan reports, added up: what a consumer might copy out.
qsizetype ReportedCharacters(TXmlParser &AParser, int &AParts) {
    qsizetype Total = 0;
    AParts = 0;
    while (AParser.Scan()) {
        ++AParts;
        // CurContent belongs to text, CDATA and instructions; other parts
        // merely leave the previous one in place.
        const TPartType Kind = AParser.CurPartType;
        Total += AParser.CurName.size();
        if (Kind == ptContent || Kind == ptCData || Kind == ptPI)
            Total += AParser.CurContent.size();
        for (const TAttr &Attr : AParser.CurAttr)
            Total += Attr.Name().size() + Attr.Value().size();
    }
    return Total;
}

QString BillionLaughs(const QString &AUse) {
    QString Document = QStringLiteral("<!DOCTYPE lolz [<!ENTITY lol \"lol\">");
    for (int Level = 1; Level <= 9; ++Level) {
        Document += QStringLiteral("<!ENTITY lol%1 \"").arg(Level);
        for (int I = 0; I < 10; ++I)
            Document +=
                QStringLiteral("&lol%1;").arg(Level == 1 ? QString() : QString::number(Level - 1));
        Document += QStringLiteral("\">");
    }
    return Document + QStringLiteral("]>") + AUse;
}

TEST(XmlEntityBounds, BillionLaughsEndsWithinTheBudget) {
    const QString Uses[] = {QStringLiteral("<lolz>&lol9;</lolz>"),
                            QStringLiteral("<lolz v=\"&lol9;\"/>"),
                            QStringLiteral("<!DOCTYPE x><lolz>&lol9;&lol9;&lol9;</lolz>")};
    for (const QString &Use : Uses) {
        SCOPED_TRACE(Use.toStdString());
        TXmlParser Parser;
        const QString Document = BillionLaughs(Use);
        Parser.LoadFromBuffer(Document);
        int Parts = 0;
        const qsizetype Reported = ReportedCharacters(Parser, Parts);
        // Unbounded, this would be about 3 * 10^9 characters. Each expansion
        // costs its replacement length, and a refused reference gives at most
        // its name, so the output stays within a small multiple of the budget.
        EXPECT_GT(Reported, TXmlParser::kMaxEntityExpansion / 4);
        EXPECT_LT(Reported, 4 * TXmlParser::kMaxEntityExpansion);
        EXPECT_LT(Parts, 10);
    }
}

TEST(XmlEntityBounds, OneLargeEntityUsedOftenIsBounded) {
    QString Document =
        QStringLiteral("<!DOCTYPE r [<!ENTITY big \"%1\">]><r>").arg(QString(100000, u'x'));
    for (int I = 0; I < 1000; ++I)
        Document += QStringLiteral("&big;");
    Document += QStringLiteral("</r>");
    TXmlParser Parser;
    Parser.LoadFromBuffer(Document);
    int Parts = 0;
    const qsizetype Reported = ReportedCharacters(Parser, Parts);
    // Ten full expansions fit into the budget; the rest give the bare name.
    // The names: "r" of the start tag, the text and the end tag.
    EXPECT_EQ(Reported, 3 + 10 * 100000 + (1000 - 10) * 3);
}

TEST(XmlEntityBounds, EntitiesInsideEntitiesStopAtTheDepthLimit) {
    QString Document = QStringLiteral("<!DOCTYPE r [");
    const int Levels = TXmlParser::kMaxEntityDepth + 4;
    for (int Level = 0; Level < Levels; ++Level)
        Document += QStringLiteral("<!ENTITY e%1 \"&e%2;\">").arg(Level).arg(Level + 1);
    Document += QStringLiteral("]><r v=\"&e0;\">&e0;</r>");
    TXmlParser Parser;
    Parser.LoadFromBuffer(Document);
    const QString Cut = QStringLiteral("e%1").arg(TXmlParser::kMaxEntityDepth);
    const std::vector<std::string> Expected = {
        "Dtdc:", QStringLiteral("StartTag:r{v=\"%1\"}").arg(Cut).toStdString(),
        QStringLiteral("Content:r=\"%1\"{v=\"%1\"}").arg(Cut).toStdString(), "EndTag:r"};
    EXPECT_EQ(ScanAll(Parser), Expected);
}

TEST(XmlEntityBounds, TheBudgetIsRenewedForEveryScan) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(BillionLaughs(QStringLiteral("<lolz>&lol9;</lolz>")));
    int Parts = 0;
    const qsizetype First = ReportedCharacters(Parser, Parts);
    Parser.StartScan();
    EXPECT_EQ(ReportedCharacters(Parser, Parts), First);
}

// --- Nothing is ever loaded ---

class XmlExternalEntities : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FSecretPath = FDir.filePath(QStringLiteral("secret.txt"));
        WriteFile(FSecretPath, QStringLiteral("SECRET-MARKER-4711"));
        // A subset that, if it were read, would declare an entity.
        FSubsetPath = FDir.filePath(QStringLiteral("subset.dtd"));
        WriteFile(FSubsetPath, QStringLiteral("<!ENTITY leak \"SECRET-MARKER-4711\">"));
    }

    static void WriteFile(const QString &APath, const QString &AText) {
        QFile File(APath);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(AText.toUtf8());
    }

    QTemporaryDir FDir;
    QString FSecretPath;
    QString FSubsetPath;
};

TEST_F(XmlExternalEntities, NeverShowAFilesContent) {
    const QString Url = QUrl::fromLocalFile(FSecretPath).toString();
    const QString Document =
        QStringLiteral("<!DOCTYPE r SYSTEM \"%1\" [<!ENTITY a SYSTEM \"%2\">"
                       "<!ENTITY b SYSTEM \"%3\"><!ENTITY c PUBLIC \"-//X\" \"%2\">"
                       "<!ENTITY % p SYSTEM \"%2\">%p;]>"
                       "<r v=\"&a;&b;&c;&p;&leak;\">&a;&b;&c;&p;&leak;</r>")
            .arg(FSubsetPath, FSecretPath, Url);
    TXmlParser Parser;
    Parser.LoadFromBuffer(Document);
    const std::vector<std::string> Parts = ScanAll(Parser);
    for (const std::string &Part : Parts)
        EXPECT_EQ(Part.find("SECRET-MARKER"), std::string::npos) << Part;
    EXPECT_EQ(Parts,
              (std::vector<std::string>{"Dtdc:", R"(StartTag:r{v="abcpleak"})",
                                        R"(Content:r="abcpleak"{v="abcpleak"})", "EndTag:r"}));
    EXPECT_FALSE(Parser.Entities.Node(u"leak"));
}

} // namespace
