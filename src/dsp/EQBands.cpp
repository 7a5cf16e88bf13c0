#include "dsp/EQBands.h"

#include "config/PropBuilders.h"

using namespace Qt::StringLiterals;

const TPropTable &TEQBandsBand::Properties() const {
    static const TPropTable Table{
        Prop::Integer(u"CenterFreq"_s, &TEQBandsBand::CenterFreq),
    };
    return Table;
}

QString TEQBandsBand::ClassName() const {
    return u"TEQBandsBand"_s;
}

void AddDefaultEQBands(TEQBands &ABands) {
    for (const qint32 freq : DefaultCenterFreqs)
        ABands.Add().CenterFreq = freq;
}
