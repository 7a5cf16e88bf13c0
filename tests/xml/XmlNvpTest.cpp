// Name-value lists: the name fingerprint, lookups, and reading attributes.

#include "xml/XmlNvp.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(XmlNameHash, FollowsTheFormula) {
    const struct {
        const char16_t *Name;
        quint32 Hash;
    } Cases[] = {
        {u"", 0},
        {u"a", 1 * (97 + 97 + 97)},
        {u"ab", 2 * (97 + 98 + 98)},        // middle: position min(2, 2) = 2
        {u"abc", 3 * (97 + 98 + 99)},       // middle: position 2
        {u"TRACK", 5 * (84 + 65 + 75)},     // middle: position 3
        {u"CASTTITLE", 9 * (67 + 84 + 69)}, // middle: position 5
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(QStringView(Case.Name).toString().toStdString());
        EXPECT_EQ(NvpNameHash(Case.Name), Case.Hash);
        TNvpNode Node;
        Node.SetName(Case.Name);
        EXPECT_EQ(Node.NameHash(), Case.Hash);
    }
}

class XmlNvpList : public testing::Test {
protected:
    void SetUp() override {
        FList.Add(u"ITEMTITLE", u"first");
        FList.Add(u"x", u"1");
        FList.Add(u"ITEMTITLE", u"second");
        // Same fingerprint as "abc" (3 * (97 + 98 + 99)), different text.
        FList.Add(u"cba", u"collision");
    }
    TNvpList<> FList;
};

TEST_F(XmlNvpList, ValueMatchesNamesExactly) {
    const struct {
        const char16_t *Name;
        const char16_t *Value;
    } Cases[] = {{u"ITEMTITLE", u"first"}, // the first of duplicates wins
                 {u"itemtitle", u""},      // case counts
                 {u"x", u"1"},
                 {u"X", u""},
                 {u"abc", u""}, // a matching fingerprint alone is no match
                 {u"cba", u"collision"},
                 {u"", u""}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(QStringView(Case.Name).toString().toStdString());
        EXPECT_EQ(FList.Value(Case.Name), QStringView(Case.Value));
    }
    EXPECT_EQ(NvpNameHash(u"abc"), NvpNameHash(u"cba"));
}

TEST_F(XmlNvpList, NodesByNameAndPosition) {
    EXPECT_EQ(FList.Count(), 4);
    EXPECT_EQ(FList.Node(u"x"), FList.Node(1));
    EXPECT_EQ(FList.Node(u"missing"), nullptr);
    EXPECT_EQ(FList.IndexOf(u"ITEMTITLE"), 0);
    EXPECT_EQ(FList.Name(2), u"ITEMTITLE");
    EXPECT_EQ(FList.Node(2)->Value(), QStringLiteral("second"));
    EXPECT_EQ(FList.Node(4), nullptr);
    EXPECT_EQ(FList.Node(-1), nullptr);
    EXPECT_TRUE(FList.Name(4).isEmpty());
}

TEST_F(XmlNvpList, ClearedListReusesNodesWithoutOldContent) {
    const QString Kept = FList.Value(u"x"); // a copy the caller holds on to
    FList.Clear();
    EXPECT_TRUE(FList.IsEmpty());
    EXPECT_EQ(FList.Node(u"x"), nullptr);
    FList.Add(u"y", u"2");
    EXPECT_EQ(FList.Count(), 1);
    EXPECT_EQ(FList.Value(u"y"), QStringLiteral("2"));
    EXPECT_EQ(FList.Value(u"ITEMTITLE"), QString());
    EXPECT_EQ(Kept, QStringLiteral("1"));
}

TEST(XmlNvpLongList, FindsTheFirstOfEachNameAsAShortOneDoes) {
    // Long enough for the hash index, with a duplicate before and after it starts.
    TNvpList<> List;
    List.Add(u"dup", u"first");
    for (int I = 0; I < 100; ++I)
        List.Add(QStringLiteral("n%1").arg(I), u"x");
    List.Add(u"dup", u"second");
    List.Add(u"late", u"only");
    EXPECT_EQ(List.Value(u"dup"), QStringLiteral("first"));
    EXPECT_EQ(List.Value(u"late"), QStringLiteral("only"));
    EXPECT_EQ(List.IndexOf(u"late"), 102);
    EXPECT_EQ(List.Node(u"missing"), nullptr);

    List.Clear();
    List.Add(u"late", u"again");
    EXPECT_EQ(List.IndexOf(u"late"), 0);
    EXPECT_EQ(List.IndexOf(u"dup"), -1);
}

TEST(XmlAttrList, RecycledAttributesForgetTheirDeclaration) {
    TAttrList List;
    TAttr &Declared = List.Add(u"a", u"1");
    Declared.AttrType = atID;
    Declared.ValueType = vtFixed;
    List.Clear();
    const TAttr &Fresh = List.Add(u"b", u"2");
    EXPECT_EQ(Fresh.AttrType, atUnknown);
    EXPECT_EQ(Fresh.ValueType, vtNormal);
}

struct TAnalyzeCase {
    const char *Name;
    const char16_t *Text;
    const char16_t *Attrs; // name=value pairs, "|"-separated
    qsizetype Final;       // where the walk stopped
};

class XmlAnalyze : public testing::TestWithParam<TAnalyzeCase> {};

TEST_P(XmlAnalyze, ReadsAttributesAndStops) {
    const TAnalyzeCase &Case = GetParam();
    TAttrList List;
    List.Add(u"stale", u"gone"); // Analyze empties the list first
    const char16_t *Final = nullptr;
    List.Analyze(Case.Text, Final);
    QStringList Attrs;
    for (const TAttr &Attr : List)
        Attrs << Attr.Name().toString() + u'=' + Attr.Value();
    EXPECT_EQ(Attrs.join(u'|'), QStringView(Case.Attrs));
    EXPECT_EQ(Final - Case.Text, Case.Final);
}

const TAnalyzeCase AnalyzeCases[] = {
    {"stops at greater than", u" a=\"1\" b='2'>rest", u"a=1|b=2", 12},
    {"stops at slash", u" a=\"1\"/>", u"a=1", 6},
    {"stops at the end of the text", u" a=\"1\"", u"a=1", 6},
    {"unterminated value runs to the end", u" a=\"1/>", u"a=1/>", 7},
    {"stops at a character that cannot begin a name", u" a='1' 2b='3'>", u"a=1", 7},
    {"name without value is dropped at the end", u" a>", u"", 2},
    {"characters before = are skipped", u" a x='1'>", u"a=1", 8},
    {"blanks of every kind are skipped", u"\ta\n=\r'1'\t>", u"a=1", 9},
    {"empty value", u" a=''", u"a=", 5},
    {"nothing at all", u"", u"", 0},
};
INSTANTIATE_TEST_SUITE_P(Cases, XmlAnalyze, testing::ValuesIn(AnalyzeCases),
                         [](const testing::TestParamInfo<TAnalyzeCase> &AInfo) {
                             std::string Name;
                             for (const char *P = AInfo.param.Name; *P; ++P)
                                 Name += std::isalnum(static_cast<unsigned char>(*P)) ? *P : '_';
                             return Name;
                         });

} // namespace
