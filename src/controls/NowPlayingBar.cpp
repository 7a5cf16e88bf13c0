#include "controls/NowPlayingBar.h"

#include "controls/NowPlayingBarAccessible.h"
#include "core/Utils.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <utility>

namespace {

// The title sits in the client rectangle moved in by these margins.
constexpr int TextMarginX = 6;
constexpr int TextMarginY = 4;
// Offset of the four halo copies around the text.
constexpr qreal HaloOffset = 0.8;

} // namespace

QColor ColorFromBGR(quint32 AColor) {
    return QColor(int(AColor & 0xFF), int((AColor >> 8) & 0xFF), int((AColor >> 16) & 0xFF));
}

struct TNowPlayingBar::TTextFormat {
    QFont Font;
    QTextOption Option;
};

TNowPlayingBar::TNowPlayingBar(QWidget *AParent) : QWidget(AParent) {
    InstallNowPlayingBarAccessible();
    // Every pixel is painted on each frame, so Qt must not clear the bar to
    // the parent's colour first: that flash is the flicker the bar avoids.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    // Screen readers hear ". " for a bar that has no title yet.
    FAccessibleText = QStringLiteral(". ");
}

TNowPlayingBar::~TNowPlayingBar() = default;

void TNowPlayingBar::SetTitle(const QString &AValue) {
    // The main window assigns both titles every 100 ms; only a real change
    // may cost a layout and a repaint.
    if (AValue == FTitle)
        return;
    TitleChanged(AValue);
}

void TNowPlayingBar::SetAdditionalTitle(const QString &AValue) {
    FAdditionalTitle = AValue;
    TitleChanged(FTitle);
}

QLabel *TNowPlayingBar::TitleLabel() const {
    return FTitleLabel;
}

void TNowPlayingBar::SetTitleLabel(QLabel *AValue) {
    FTitleLabel = AValue;
}

void TNowPlayingBar::TitleChanged(const QString &ATitle) {
    FTitle = ATitle;
    update();
    FTextLayout.reset();

    QString Text;
    if (FTitleLabel)
        Text = StripAccelerators(FTitleLabel->text()) + u' ';
    Text += FTitle + QStringLiteral(". ") + FAdditionalTitle;
    const QString OldText = std::exchange(FAccessibleText, Text);
    NotifyNowPlayingBarTextChanged(this, OldText);
}

void TNowPlayingBar::Click() {
    Q_EMIT Clicked();
}

bool TNowPlayingBar::EnsureTextLayout() {
    if (!FTextFormat) {
        auto Format = std::make_unique<TTextFormat>();
        const QFont &Source = font();
        QFont &F = Format->Font;
        F = Source;
        F.setWeight(Source.bold() ? QFont::Bold : QFont::Normal);
        F.setItalic(Source.italic());
        F.setStretch(QFont::Unstretched);
        // The em size in pixels; a point-sized font is converted at the
        // widget's own logical resolution so the off-screen frame matches
        // what the widget would draw itself.
        int Pixels = Source.pixelSize();
        if (Pixels <= 0)
            Pixels = qRound(Source.pointSizeF() * logicalDpiY() / 72.0);
        if (Pixels <= 0)
            return false;
        F.setPixelSize(Pixels);
        Format->Option.setAlignment(Qt::AlignHCenter);
        // Long titles wrap inside the box and are never shortened or
        // given an ellipsis; a single word wider than the box is broken.
        Format->Option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        FTextFormat = std::move(Format);
        ++FTextFormatBuilds;
    }
    if (FTextLayout)
        return true;

    const qreal BoxWidth = width() - 2 * TextMarginX;
    const qreal BoxHeight = height() - 2 * TextMarginY;
    if (BoxWidth <= 0 || BoxHeight <= 0)
        return false; // too small for any text; tried again at the next paint

    auto Layout = std::make_unique<QTextLayout>(FTitle, FTextFormat->Font);
    Layout->setTextOption(FTextFormat->Option);
    Layout->setCacheEnabled(true);
    Layout->beginLayout();
    qreal Y = 0;
    for (;;) {
        QTextLine Line = Layout->createLine();
        if (!Line.isValid())
            break;
        Line.setLineWidth(BoxWidth);
        Line.setPosition(QPointF(0, Y));
        Y += Line.height();
    }
    Layout->endLayout();

    // Centre the block of lines vertically in the box; text taller than the
    // box spills out evenly above and below rather than being cut short.
    const qreal Shift = (BoxHeight - Y) / 2;
    for (int i = 0; i < Layout->lineCount(); ++i) {
        QTextLine Line = Layout->lineAt(i);
        Line.setPosition(Line.position() + QPointF(0, Shift));
    }
    FTextLayout = std::move(Layout);
    ++FTextLayoutBuilds;
    return true;
}

void TNowPlayingBar::paintEvent(QPaintEvent *) {
    if (!isVisible() || width() <= 0 || height() <= 0)
        return;

    // The whole frame is composed off screen and copied in one transfer,
    // so a title change never shows a half-drawn bar.
    const qreal Ratio = devicePixelRatioF();
    const QSize DeviceSize = (QSizeF(size()) * Ratio).toSize();
    if (FBuffer.size() != DeviceSize || FBuffer.devicePixelRatio() != Ratio) {
        FBuffer = QImage(DeviceSize, QImage::Format_RGB32);
        FBuffer.setDevicePixelRatio(Ratio);
    }
    {
        QPainter Painter(&FBuffer);
        Painter.setRenderHint(QPainter::Antialiasing, false);
        DrawFrame(Painter);
        DrawLabelText(Painter);
    }
    if (hasFocus())
        DrawFocusRect();
    QPainter Window(this);
    Window.drawImage(QPointF(0, 0), FBuffer);
}

void TNowPlayingBar::DrawFrame(QPainter &APainter) const {
    const int W = width();
    const int H = height();
    APainter.fillRect(QRect(0, 0, W, H), ColorFromBGR(FBackColor));
    // Exactly the outermost ring of pixels, at any device pixel ratio.
    const QColor Frame = ColorFromBGR(FFrameColor);
    APainter.fillRect(QRect(0, 0, W, 1), Frame);
    APainter.fillRect(QRect(0, H - 1, W, 1), Frame);
    APainter.fillRect(QRect(0, 0, 1, H), Frame);
    APainter.fillRect(QRect(W - 1, 0, 1, H), Frame);
}

void TNowPlayingBar::DrawLabelText(QPainter &APainter) {
    if (!EnsureTextLayout())
        return;
    APainter.setRenderHint(QPainter::TextAntialiasing, true);
    const QPointF Origin(TextMarginX, TextMarginY);

    if (FTextWhiteAlpha > 0) {
        // Four faint copies shifted diagonally make a light glow that keeps
        // dark letters readable on either bar colour.
        QColor Halo = ColorFromBGR(FTextShadowColor);
        Halo.setAlpha(std::min(FTextWhiteAlpha, 255));
        APainter.setPen(Halo);
        static constexpr QPointF Shifts[] = {{-HaloOffset, -HaloOffset},
                                             {HaloOffset, -HaloOffset},
                                             {-HaloOffset, HaloOffset},
                                             {HaloOffset, HaloOffset}};
        for (const QPointF &Shift : Shifts)
            FTextLayout->draw(&APainter, Origin + Shift);
    }

    APainter.setPen(palette().color(QPalette::WindowText));
    FTextLayout->draw(&APainter, Origin);
}

void TNowPlayingBar::DrawFocusRect() {
    // The classic dotted focus rectangle: every other pixel inverted, one
    // pixel inside the frame, readable on any bar colour. The pixels are
    // flipped directly: a dashed outline in an inverting composition mode
    // would go through the painter's slow, thread-pooled span path.
    const qreal Ratio = FBuffer.devicePixelRatio();
    const int Left = qRound(Ratio);
    const int Top = qRound(Ratio);
    const int Right = qRound((width() - 1) * Ratio) - 1;
    const int Bottom = qRound((height() - 1) * Ratio) - 1;
    if (Right < Left || Bottom < Top)
        return;
    auto Invert = [this](int AX, int AY) {
        if ((AX + AY) % 2 == 0) {
            auto *Line = reinterpret_cast<QRgb *>(FBuffer.scanLine(AY));
            Line[AX] ^= 0x00FFFFFF;
        }
    };
    for (int x = Left; x <= Right; ++x) {
        Invert(x, Top);
        if (Bottom != Top)
            Invert(x, Bottom);
    }
    for (int y = Top + 1; y < Bottom; ++y) {
        Invert(Left, y);
        if (Right != Left)
            Invert(Right, y);
    }
}

void TNowPlayingBar::resizeEvent(QResizeEvent *AEvent) {
    FTextLayout.reset();
    QWidget::resizeEvent(AEvent);
}

void TNowPlayingBar::changeEvent(QEvent *AEvent) {
    if (AEvent->type() == QEvent::FontChange) {
        // Qt repaints after a font change by itself; only the caches go.
        FTextFormat.reset();
        FTextLayout.reset();
    }
    QWidget::changeEvent(AEvent);
}

void TNowPlayingBar::focusInEvent(QFocusEvent *AEvent) {
    QWidget::focusInEvent(AEvent);
    repaint();
}

void TNowPlayingBar::focusOutEvent(QFocusEvent *AEvent) {
    QWidget::focusOutEvent(AEvent);
    repaint();
}

void TNowPlayingBar::mousePressEvent(QMouseEvent *AEvent) {
    FPressed = AEvent->button() == Qt::LeftButton;
    QWidget::mousePressEvent(AEvent);
}

void TNowPlayingBar::mouseReleaseEvent(QMouseEvent *AEvent) {
    const bool IsClick = FPressed && AEvent->button() == Qt::LeftButton &&
                         rect().contains(AEvent->position().toPoint());
    FPressed = false;
    QWidget::mouseReleaseEvent(AEvent);
    if (IsClick)
        Click();
}
