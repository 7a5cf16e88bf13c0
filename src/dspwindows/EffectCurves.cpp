#include "dspwindows/EffectCurves.h"

#include "audio/PeakEq.h"
#include "controls/WindowHelpers.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double KLowHz = 20;
constexpr double KHighHz = 20000;
constexpr double KLowInputDb = -60;
constexpr double KHighInputDb = 0;
constexpr double KLowOutputDb = -60;
constexpr double KHighOutputDb = 30;

QRectF PlotArea(const QWidget *AView) {
    const int margin = ScaleValue(4);
    return QRectF(AView->rect()).adjusted(margin, margin, -margin, -margin);
}

void DrawFrame(QPainter &APainter, const QWidget *AView, const QRectF &AArea) {
    const QPalette &palette = AView->palette();
    APainter.fillRect(AView->rect(), palette.base());
    APainter.setPen(QPen(palette.mid().color(), 1));
    APainter.drawRect(AArea);
}

} // namespace

TEqCurveView::TEqCurveView(QWidget *AParent) : QWidget(AParent) {
    setAccessibleName(u"Frequency response"_s);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TEqCurveView::SetBands(double ARate, std::vector<BASS_BFX_PEAKEQ> ABands, int ARangeDb) {
    FRate = ARate;
    FBands = std::move(ABands);
    FRangeDb = std::max(ARangeDb, 1);
    update();
}

double TEqCurveView::ResponseDbAt(double AFreq) const {
    return PeakEqResponseDb(FRate, FBands, AFreq);
}

QSize TEqCurveView::sizeHint() const {
    return {ScaleValue(300), ScaleValue(90)};
}

QSize TEqCurveView::minimumSizeHint() const {
    return {ScaleValue(120), ScaleValue(60)};
}

void TEqCurveView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = PlotArea(this);
    DrawFrame(painter, this, area);
    // Room for the bands' overlap, which can add up beyond one band's range.
    double span = FRangeDb;
    const int points = std::max(2, int(area.width()));
    std::vector<double> values(static_cast<size_t>(points));
    const double top = std::min(KHighHz, FRate / 2);
    for (int i = 0; i < points; ++i) {
        const double freq = KLowHz * std::pow(top / KLowHz, double(i) / (points - 1));
        values[size_t(i)] = ResponseDbAt(freq);
        if (std::isfinite(values[size_t(i)]))
            span = std::max(span, std::abs(values[size_t(i)]));
    }
    const auto y = [&](double ADb) {
        return area.center().y() - std::clamp(ADb, -span, span) / span * area.height() / 2;
    };
    painter.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), y(0)), QPointF(area.right(), y(0)));
    QPainterPath path;
    for (int i = 0; i < points; ++i) {
        const QPointF point(area.left() + area.width() * i / (points - 1), y(values[size_t(i)]));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(palette().highlight().color(), ScaleValue(2)));
    painter.drawPath(path);
}

TCompressorCurveView::TCompressorCurveView(QWidget *AParent) : QWidget(AParent) {
    setAccessibleName(u"Transfer curve"_s);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TCompressorCurveView::SetSetup(const TCompressorSetup &ASetup) {
    FSetup = ASetup;
    setAccessibleDescription(u"Threshold %1 dB"_s.arg(FSetup.FThresholdDb));
    update();
}

double TCompressorCurveView::OutputDbAt(double AInputDb) const {
    return FSetup.StaticOutputDb(AInputDb);
}

QSize TCompressorCurveView::sizeHint() const {
    return {ScaleValue(200), ScaleValue(140)};
}

QSize TCompressorCurveView::minimumSizeHint() const {
    return {ScaleValue(100), ScaleValue(70)};
}

void TCompressorCurveView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = PlotArea(this);
    DrawFrame(painter, this, area);
    const auto x = [&](double AInputDb) {
        return area.left() + (AInputDb - KLowInputDb) / (KHighInputDb - KLowInputDb) * area.width();
    };
    const auto y = [&](double AOutputDb) {
        const double clamped = std::clamp(AOutputDb, KLowOutputDb, KHighOutputDb);
        return area.bottom() -
               (clamped - KLowOutputDb) / (KHighOutputDb - KLowOutputDb) * area.height();
    };
    // The unchanged level for comparison, and the threshold.
    painter.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    painter.drawLine(QPointF(x(KLowInputDb), y(KLowInputDb)),
                     QPointF(x(KHighInputDb), y(KHighInputDb)));
    const double threshold = std::clamp(FSetup.FThresholdDb, KLowInputDb, KHighInputDb);
    painter.setPen(QPen(palette().text().color(), 1, Qt::DotLine));
    painter.drawLine(QPointF(x(threshold), area.top()), QPointF(x(threshold), area.bottom()));
    // The curve is straight on both sides of the threshold: three points.
    QPainterPath path;
    path.moveTo(x(KLowInputDb), y(OutputDbAt(KLowInputDb)));
    path.lineTo(x(threshold), y(OutputDbAt(threshold)));
    path.lineTo(x(KHighInputDb), y(OutputDbAt(KHighInputDb)));
    painter.setPen(QPen(palette().highlight().color(), ScaleValue(2)));
    painter.drawPath(path);
    painter.setBrush(palette().highlight());
    const double dot = ScaleValue(3);
    painter.drawEllipse(QPointF(x(threshold), y(OutputDbAt(threshold))), dot, dot);
}
