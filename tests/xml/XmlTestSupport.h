#pragma once
// A compact text for every part a scanner reports, so a whole scan can be
// compared with one expected list:
//   Kind:Name="content"{attr="value",...}
// The content appears for text, CDATA and processing instructions, the
// braces only when the part has attributes.

#include "xml/XmlParser.h"

#include <QString>
#include <QStringList>
#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

inline std::string DescribePart(const TXmlParser &AParser) {
    static const char *const Kinds[] = {"None",     "Prolog",   "Comment", "PI",      "Dtdc",
                                        "StartTag", "EmptyTag", "EndTag",  "Content", "CData"};
    QString Text = QString::fromLatin1(Kinds[AParser.CurPartType]) + u':' + AParser.CurName;
    const TPartType Kind = AParser.CurPartType;
    if (Kind == ptContent || Kind == ptCData || Kind == ptPI)
        Text += QStringLiteral("=\"") + AParser.CurContent + u'"';
    if (!AParser.CurAttr.IsEmpty()) {
        QStringList Attrs;
        for (const TAttr &Attr : AParser.CurAttr)
            Attrs << Attr.Name().toString() + QStringLiteral("=\"") + Attr.Value() + u'"';
        Text += u'{' + Attrs.join(u',') + u'}';
    }
    return Text.toStdString();
}

// Scans from the start to the end; a runaway scan is cut off.
inline std::vector<std::string> ScanAll(TXmlParser &AParser, size_t ALimit = 10000) {
    std::vector<std::string> Parts;
    while (Parts.size() < ALimit && AParser.Scan())
        Parts.push_back(DescribePart(AParser));
    return Parts;
}

inline std::vector<std::string> ScanAll(const QString &ADocument) {
    TXmlParser Parser;
    Parser.LoadFromBuffer(ADocument);
    return ScanAll(Parser);
}

// One row of a scan table: a document and the parts it gives.
struct TScanCase {
    const char *Name;
    const char *Document; // UTF-8
    std::vector<std::string> Parts;
};

inline std::ostream &operator<<(std::ostream &AStream, const TScanCase &ACase) {
    return AStream << ACase.Name;
}

// Tables of scan cases are instantiated by behaviour, in more than one file.
class XmlScan : public testing::TestWithParam<TScanCase> {};

inline std::string ScanCaseName(const testing::TestParamInfo<TScanCase> &AInfo) {
    std::string Name;
    for (const char *P = AInfo.param.Name; *P; ++P)
        Name += std::isalnum(static_cast<unsigned char>(*P)) ? *P : '_';
    return Name;
}
