#pragma once
// The now-playing bar: a focusable, custom-drawn bar that shows one track
// title centred in a filled, framed rectangle, with a soft halo behind the
// letters. The main window keeps two of them (playing and next title) and
// assigns both titles ten times a second, so an unchanged title must cost
// nothing. Main thread only.

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QTextLayout;

// A colour stored as 0x00BBGGRR (red in the low byte), as the window forms keep them.
QColor ColorFromBGR(quint32 AColor);

class TNowPlayingBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(bool LabelMode READ LabelMode WRITE SetLabelMode)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(quint32 FrameColor READ FrameColor WRITE SetFrameColor)
    Q_PROPERTY(qint32 TextWhiteAlpha READ TextWhiteAlpha WRITE SetTextWhiteAlpha)
    Q_PROPERTY(quint32 TextShadowColor READ TextShadowColor WRITE SetTextShadowColor)
    Q_PROPERTY(QString AdditionalTitle READ AdditionalTitle WRITE SetAdditionalTitle)

public:
    explicit TNowPlayingBar(QWidget *AParent = nullptr);
    ~TNowPlayingBar() override;

    // Assigning the title it already shows (exact, case-sensitive) does
    // nothing: no repaint, no new layout, no accessibility event.
    const QString &Title() const { return FTitle; }
    void SetTitle(const QString &AValue);

    // Second part of the accessible text; never drawn. Assigning it always
    // counts as a title change.
    const QString &AdditionalTitle() const { return FAdditionalTitle; }
    void SetAdditionalTitle(const QString &AValue);

    // Optional label (not owned) whose caption starts the accessible text.
    // Read at the next title change.
    QLabel *TitleLabel() const;
    void SetTitleLabel(QLabel *AValue);

    // The bar's text for screen readers: "<label caption> <title>. <additional
    // title>"; the bar's accessible name, when the window gives one, leads it.
    const QString &AccessibleText() const { return FAccessibleText; }

    // Colours are 0x00BBGGRR. These are only stored; the next paint shows them.
    bool LabelMode() const { return FLabelMode; }
    void SetLabelMode(bool AValue) { FLabelMode = AValue; }
    quint32 BackColor() const { return FBackColor; }
    void SetBackColor(quint32 AValue) { FBackColor = AValue; }
    quint32 FrameColor() const { return FFrameColor; }
    void SetFrameColor(quint32 AValue) { FFrameColor = AValue; }
    // Opacity of the halo, 0 to 255; 0 draws none.
    qint32 TextWhiteAlpha() const { return FTextWhiteAlpha; }
    void SetTextWhiteAlpha(qint32 AValue) { FTextWhiteAlpha = AValue; }
    quint32 TextShadowColor() const { return FTextShadowColor; }
    void SetTextShadowColor(quint32 AValue) { FTextShadowColor = AValue; }

    // Emits Clicked, as a mouse click on the bar does.
    void Click();

    // How often the text format and the text layout were built (tests check the caches).
    int TextFormatBuilds() const { return FTextFormatBuilds; }
    int TextLayoutBuilds() const { return FTextLayoutBuilds; }

Q_SIGNALS:
    void Clicked();

protected:
    void paintEvent(QPaintEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void focusOutEvent(QFocusEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;

private:
    // The font and paragraph settings the title is laid out with.
    struct TTextFormat;

    void TitleChanged(const QString &ATitle);
    bool EnsureTextLayout();
    void DrawFrame(QPainter &APainter) const;
    void DrawLabelText(QPainter &APainter);
    void DrawFocusRect();

    QString FTitle;
    bool FLabelMode = false;
    quint32 FBackColor = 11796401; // red 177, green 255, blue 179
    qint32 FTextWhiteAlpha = 128;
    quint32 FFrameColor = 9868950; // 150, 150, 150
    QPointer<QLabel> FTitleLabel;  // not owned; forgotten when the label goes
    QString FAdditionalTitle;
    quint32 FTextShadowColor = 16448250; // 250, 250, 250
    QString FAccessibleText;

    std::unique_ptr<TTextFormat> FTextFormat;
    std::unique_ptr<QTextLayout> FTextLayout;
    QImage FBuffer; // the off-screen frame, kept between paints while the size stays
    bool FPressed = false;

    int FTextFormatBuilds = 0;
    int FTextLayoutBuilds = 0;
};
