#include "app/windows/ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int KSize = 60; // drawn at twice the 30-pixel size, so it stays sharp when scaled

void DrawRecord(QPainter &APainter) {
    APainter.setPen(QPen(QColor(90, 90, 90), 3));
    APainter.setBrush(QColor(210, 40, 40));
    APainter.drawEllipse(QPointF(30, 30), 20, 20);
}

void DrawPlus(QPainter &APainter, const QColor &AColor) {
    APainter.setPen(QPen(AColor, 8, Qt::SolidLine, Qt::RoundCap));
    APainter.drawLine(30, 12, 30, 48);
    APainter.drawLine(12, 30, 48, 30);
}

void DrawCross(QPainter &APainter) {
    APainter.setPen(QPen(QColor(200, 40, 40), 8, Qt::SolidLine, Qt::RoundCap));
    APainter.drawLine(15, 15, 45, 45);
    APainter.drawLine(45, 15, 15, 45);
}

void DrawFx(QPainter &APainter) {
    QFont font = APainter.font();
    font.setPixelSize(30);
    font.setBold(true);
    APainter.setFont(font);
    APainter.setPen(QColor(40, 90, 180));
    APainter.drawText(QRect(0, 0, KSize, KSize), Qt::AlignCenter, u"FX"_s);
}

void DrawGear(QPainter &APainter) {
    QPainterPath gear;
    constexpr int KTeeth = 8;
    for (int i = 0; i < KTeeth * 2; ++i) {
        const double angle = M_PI * i / KTeeth;
        const double radius = i % 2 == 0 ? 24 : 17;
        const QPointF point(30 + radius * std::cos(angle), 30 + radius * std::sin(angle));
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(30, 30), 7, 7);
    APainter.setPen(Qt::NoPen);
    APainter.setBrush(QColor(100, 100, 110));
    APainter.drawPath(gear);
}

} // namespace

QIcon ToolbarImage(const QString &AName) {
    QPixmap pixmap(KSize, KSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (AName == u"record broadcast "_s)
        DrawRecord(painter);
    else if (AName == u"insert"_s)
        DrawPlus(painter, QColor(40, 150, 60));
    else if (AName == u"Add File"_s)
        DrawPlus(painter, QColor(40, 90, 180));
    else if (AName == u"Delete"_s)
        DrawCross(painter);
    else if (AName == u"FX"_s)
        DrawFx(painter);
    else if (AName == u"settings"_s)
        DrawGear(painter);
    else
        return {};
    painter.end();
    return QIcon(pixmap);
}
