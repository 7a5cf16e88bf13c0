// The equaliser's band layout: its twelve default bands and how a stored
// layout replaces them.

#include "dsp/EQBands.h"

#include "config/ComponentText.h"
#include "config/PropBuilders.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class TBandsHolder : public TPersistent {
public:
    TBandsHolder() { AddDefaultEQBands(Bands); }
    TEQBands Bands;

    const TPropTable &Properties() const override {
        static const TPropTable Table{Prop::Collection(u"EQBands"_s, &TBandsHolder::Bands)};
        return Table;
    }
    QString ClassName() const override { return u"TBandsHolder"_s; }
};

TEST(EQBands, TwelveDefaultBands) {
    const TBandsHolder holder;
    const qint32 expected[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000, 18000, 20000};
    ASSERT_EQ(holder.Bands.Count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(holder.Bands.Items(i).CenterFreq, expected[i]) << "band " << i;
}

TEST(EQBands, StoredLayoutReplacesTheDefaultsAndReadsBack) {
    const QByteArray text = QByteArray("object TBandsHolder\r\n"
                                       "  EQBands = <\r\n"
                                       "    item\r\n"
                                       "      CenterFreq = 100\r\n"
                                       "    end\r\n"
                                       "    item\r\n"
                                       "      CenterFreq = 0\r\n"
                                       "      Q = 0.700000000000000000\r\n"
                                       "    end>\r\n"
                                       "end\r\n");
    TBandsHolder holder;
    TextToComponent(QString::fromLatin1(text), holder);
    ASSERT_EQ(holder.Bands.Count(), 2);
    EXPECT_EQ(holder.Bands.Items(0).CenterFreq, 100);
    EXPECT_EQ(holder.Bands.Items(1).CenterFreq, 0);
    // CenterFreq declares no default, so 0 is written too.
    EXPECT_EQ(ComponentToText(holder), text);
}

TEST(EQBands, EmptyStoredLayoutKeepsTheDefaults) {
    TBandsHolder holder;
    TextToComponent(u"object TBandsHolder\r\n  EQBands = <>\r\nend\r\n", holder);
    EXPECT_EQ(holder.Bands.Count(), 12);
}

} // namespace
