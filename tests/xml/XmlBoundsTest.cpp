// Every document cut short anywhere still scans to its end without reading
// past it. Each cut is copied into a heap block of exactly its size, so an
// address-sanitizer build catches a single character read too far.

#include "xml/XmlParser.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>

namespace {

const char16_t *const Documents[] = {
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PLAYLIST>\n"
    u"<TRACK CASTTITLE=\"Rock &amp; Roll\" DURATION=\"3:45\" STARTTIME=\"14:03:22\"/>\n"
    u"<TRACK CASTTITLE='Caf\u00e9 &#233;&#x41;' DURATION='0:05' STARTTIME='7:5:9'></TRACK>\n"
    u"</PLAYLIST>",
    u"<Playback playlistpos=\"3\" pos=\"1000\" len=\"2000\" state=\"play\"/>"
    u"<CurrentTrack><TRACK ITEMTITLE=\"Now\"/></CurrentTrack>"
    u"<NextTrack><TRACK ITEMTITLE=\"Next\"/></NextTrack>",
    u"<!DOCTYPE r SYSTEM \"r.dtd\" [<!ELEMENT r ANY><!ATTLIST t a CDATA \"d\" b NMTOKENS #FIXED "
    u"' x  y '><!ENTITY e \"<t>&amp;x</t>\"><!ENTITY % p 'q'>%p;<!NOTATION n SYSTEM 'n'>"
    u"<!-- c --><?pi x?>]><r>&e; &#65; &u; & <t/></r>",
    u"<!-- comment --><?target a=\"1\" data?><![CDATA[ <x> ]]><a b='1' c=\"2\"/>"
    u"</a x='1'/>text &lt; more<b\t/><c></c>",
};

TEST(XmlBounds, EveryPrefixScansWithinItsText) {
    for (const char16_t *Document : Documents) {
        const QStringView Whole(Document);
        for (qsizetype Length = 0; Length <= Whole.size(); ++Length) {
            SCOPED_TRACE(Whole.first(Length).toString().toStdString());
            std::unique_ptr<char16_t[]> Text(new char16_t[Length + 1]);
            std::copy(Whole.utf16(), Whole.utf16() + Length, Text.get());
            Text[Length] = 0;
            const char16_t *End = Text.get() + Length;

            TXmlParser Parser;
            Parser.SetBuffer(Text.get());
            int Parts = 0;
            while (Parser.Scan()) {
                ASSERT_LE(++Parts, Length) << "every part takes at least one character";
                // Parts inside an entity's replacement lie in that text instead.
                if (!Parser.Entities.IsEmpty())
                    continue;
                ASSERT_GE(Parser.CurStart, Text.get());
                ASSERT_LE(Parser.CurStart, Parser.CurFinal);
                ASSERT_LT(Parser.CurFinal, End);
            }
            EXPECT_EQ(Parser.CurStart, End);
            EXPECT_FALSE(Parser.Scan());
        }
    }
}

} // namespace
