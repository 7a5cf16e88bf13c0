// The now-playing bar drawn for real under the offscreen platform: what ends
// up in its pixels, what screen readers get, and that unchanged titles cost
// nothing.

#include "controls/NowPlayingBar.h"

#include "controls/NowPlayingBarAccessible.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TSeenEvent {
    QAccessible::Event Type;
    QObject *Object;
};

std::vector<TSeenEvent> &SeenEvents() {
    static std::vector<TSeenEvent> Events;
    return Events;
}

void RecordEvent(QAccessibleEvent *AEvent) {
    SeenEvents().push_back({AEvent->type(), AEvent->object()});
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject *AObject, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint)
            ++Paints;
        return QObject::eventFilter(AObject, AEvent);
    }
};

void FlushPaints() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QImage Grab(TNowPlayingBar &ABar) {
    return ABar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels strictly inside the frame ring, so the outline never counts as text.
int CountInner(const QImage &AImage, const std::function<bool(QColor)> &APredicate) {
    int Count = 0;
    for (int y = 1; y < AImage.height() - 1; ++y)
        for (int x = 1; x < AImage.width() - 1; ++x)
            if (APredicate(AImage.pixelColor(x, y)))
                ++Count;
    return Count;
}

// A bar in a shown window, with black text so that the halo is the only
// thing that can make a pixel lighter than the fill.
struct TShownBar {
    QWidget Window;
    TNowPlayingBar *Bar;

    explicit TShownBar(QSize ASize = QSize(300, 45)) {
        Bar = new TNowPlayingBar(&Window);
        Bar->setGeometry(QRect(QPoint(0, 0), ASize));
        QFont Font = Bar->font();
        Font.setPointSize(9);
        Font.setBold(true);
        Bar->setFont(Font);
        QPalette Palette = Bar->palette();
        Palette.setColor(QPalette::WindowText, Qt::black);
        Bar->setPalette(Palette);
        Bar->SetLabelMode(true);
        // Only the tabbing test wants the focus rectangle in its pixels.
        Bar->setFocusPolicy(Qt::NoFocus);
        Window.resize(ASize);
        Window.show();
        Exposed = QTest::qWaitForWindowExposed(&Window);
    }
    bool Exposed = false;
};

} // namespace

class TNowPlayingBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { SeenEvents().clear(); }
    void cleanupTestCase() { SetNowPlayingBarEventSink(nullptr); }

    void storedColours_data();
    void storedColours();
    void emptyTitleDrawsFillAndOutline_data();
    void emptyTitleDrawsFillAndOutline();
    void titleAssignment_data();
    void titleAssignment();
    void accessibleText_data();
    void accessibleText();
    void windowsNameLeadsTheTitle();
    void textChangeReplacesWhatFollowsTheCaption();
    void halo_data();
    void halo();
    void layoutCache_data();
    void layoutCache();
    void longTitleWraps();
    void focusRectFollowsTabbing();
    void mouseClickClicks();
};

void TNowPlayingBarTest::initTestCase() {
    SetNowPlayingBarEventSink(RecordEvent);
}

void TNowPlayingBarTest::storedColours_data() {
    QTest::addColumn<quint32>("Stored");
    QTest::addColumn<QColor>("Expected");
    QTest::newRow("default fill, red in the low byte")
        << quint32(11796401) << QColor(177, 255, 179);
    QTest::newRow("next-track fill") << quint32(12645871) << QColor(239, 245, 192);
    QTest::newRow("frame grey") << quint32(9868950) << QColor(150, 150, 150);
    QTest::newRow("high byte ignored") << quint32(0xFF0000FF) << QColor(255, 0, 0);
}

void TNowPlayingBarTest::storedColours() {
    QFETCH(quint32, Stored);
    QFETCH(QColor, Expected);
    QCOMPARE(ColorFromBGR(Stored), Expected);
}

void TNowPlayingBarTest::emptyTitleDrawsFillAndOutline_data() {
    QTest::addColumn<quint32>("Back");
    QTest::addColumn<quint32>("Frame");
    QTest::newRow("playing bar defaults") << quint32(11796401) << quint32(9868950);
    QTest::newRow("next-track bar") << quint32(12645871) << quint32(9868950);
    QTest::newRow("blue fill, red frame") << quint32(0xFF0000) << quint32(0x0000FF);
}

void TNowPlayingBarTest::emptyTitleDrawsFillAndOutline() {
    QFETCH(quint32, Back);
    QFETCH(quint32, Frame);
    TShownBar Shown(QSize(40, 20));
    Shown.Bar->SetBackColor(Back);
    Shown.Bar->SetFrameColor(Frame);
    const QImage Image = Grab(*Shown.Bar);
    QCOMPARE(Image.size(), QSize(40, 20));
    for (int y = 0; y < Image.height(); ++y) {
        for (int x = 0; x < Image.width(); ++x) {
            const bool Ring = x == 0 || y == 0 || x == Image.width() - 1 || y == Image.height() - 1;
            const QColor Want = ColorFromBGR(Ring ? Frame : Back);
            if (Image.pixelColor(x, y) != Want)
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, expected %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(Image.pixelColor(x, y).name(), Want.name())));
        }
    }
}

void TNowPlayingBarTest::titleAssignment_data() {
    QTest::addColumn<QString>("Before");
    QTest::addColumn<QString>("After");
    QTest::addColumn<bool>("Changes");
    QTest::newRow("new title") << u"Song A"_s << u"Song B"_s << true;
    QTest::newRow("same title again") << u"Song A"_s << u"Song A"_s << false;
    QTest::newRow("same title in other case") << u"Song A"_s << u"song a"_s << true;
    QTest::newRow("title cleared") << u"Song A"_s << QString() << true;
    QTest::newRow("empty title again") << QString() << QString() << false;
}

void TNowPlayingBarTest::titleAssignment() {
    QFETCH(QString, Before);
    QFETCH(QString, After);
    QFETCH(bool, Changes);
    TShownBar Shown;
    QVERIFY(Shown.Exposed);
    Shown.Bar->SetTitle(Before);
    FlushPaints();
    Shown.Bar->repaint();
    const int Builds = Shown.Bar->TextLayoutBuilds();
    TPaintCounter Counter;
    Shown.Bar->installEventFilter(&Counter);
    FlushPaints();
    Counter.Paints = 0;
    SeenEvents().clear();

    Shown.Bar->SetTitle(After);
    if (Changes)
        QTRY_VERIFY(Counter.Paints > 0);
    else
        FlushPaints();

    QCOMPARE(Shown.Bar->Title(), After);
    QCOMPARE(Shown.Bar->AccessibleText(), After + u". "_s);
    QCOMPARE(Counter.Paints > 0, Changes);
    QCOMPARE(Shown.Bar->TextLayoutBuilds(), Builds + (Changes ? 1 : 0));
    int NameEvents = 0;
    int ValueEvents = 0;
    for (const TSeenEvent &Event : SeenEvents()) {
        QCOMPARE(Event.Object, Shown.Bar);
        NameEvents += Event.Type == QAccessible::NameChanged;
        ValueEvents += Event.Type == QAccessible::ValueChanged;
    }
    QCOMPARE(NameEvents, Changes ? 1 : 0);
    QCOMPARE(ValueEvents, Changes ? 1 : 0);
}

void TNowPlayingBarTest::accessibleText_data() {
    QTest::addColumn<QString>("Label");
    QTest::addColumn<QString>("Title");
    QTest::addColumn<QString>("Additional");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("title only") << QString() << u"Song"_s << QString() << u"Song. "_s;
    QTest::newRow("empty title") << QString() << QString() << QString() << u". "_s;
    QTest::newRow("title and additional title")
        << QString() << u"Song"_s << u"Ends 12:03"_s << u"Song. Ends 12:03"_s;
    QTest::newRow("title label prefixes")
        << u"Now playing:"_s << u"Song"_s << QString() << u"Now playing: Song. "_s;
    QTest::newRow("label accelerator not read out")
        << u"&Next:"_s << u"Song"_s << u"x"_s << u"Next: Song. x"_s;
}

void TNowPlayingBarTest::accessibleText() {
    QFETCH(QString, Label);
    QFETCH(QString, Title);
    QFETCH(QString, Additional);
    QFETCH(QString, Expected);
    QWidget Window;
    QLabel Caption(Label, &Window);
    TNowPlayingBar Bar(&Window);
    if (!Label.isEmpty())
        Bar.SetTitleLabel(&Caption);
    Bar.SetTitle(Title);
    Bar.SetAdditionalTitle(Additional);

    QCOMPARE(Bar.AccessibleText(), Expected);
    QAccessibleInterface *Iface = QAccessible::queryAccessibleInterface(&Bar);
    QVERIFY(Iface);
    QCOMPARE(Iface->role(), QAccessible::StaticText);
    QCOMPARE(Iface->text(QAccessible::Name), Expected);
    QCOMPARE(Iface->text(QAccessible::Value), Expected);
}

void TNowPlayingBarTest::windowsNameLeadsTheTitle() {
    // The window names the bar ("Current Track"); that name alone hid the
    // title from the reader. Now it leads, and the title follows.
    QWidget Window;
    TNowPlayingBar Bar(&Window);
    Bar.setAccessibleName(u"Current Track"_s);
    Bar.setToolTip(u"Current Track"_s);
    Bar.SetTitle(u"Song 3 \u2014 Artist"_s);
    QAccessibleInterface *Iface = QAccessible::queryAccessibleInterface(&Bar);
    QVERIFY(Iface);
    const QString Expected = u"Current Track Song 3 \u2014 Artist. "_s;
    QCOMPARE(Iface->text(QAccessible::Name), Expected);
    QCOMPARE(Iface->text(QAccessible::Value), Expected);
    QCOMPARE(Iface->text(QAccessible::Description), u"Current Track"_s);
    QVERIFY(Iface->state().focusable);
    QAccessibleTextInterface *Text = Iface->textInterface();
    QVERIFY(Text);
    QCOMPARE(Text->text(0, -1), Expected);
    QCOMPARE(Text->characterCount(), int(Expected.size()));
    int Start = 0;
    int End = 0;
    QCOMPARE(Text->textAtOffset(14, QAccessible::WordBoundary, &Start, &End), u"Song"_s);
    QCOMPARE(Start, 14);
    QCOMPARE(Text->textAtOffset(3, QAccessible::LineBoundary, &Start, &End), Expected);
}

void TNowPlayingBarTest::textChangeReplacesWhatFollowsTheCaption() {
    TNowPlayingBar Bar;
    Bar.setAccessibleName(u"Next Track"_s);
    Bar.SetTitle(u"Old"_s);
    struct TUpdate {
        int Position;
        QString Removed;
        QString Inserted;
    };
    static std::vector<TUpdate> Updates;
    Updates.clear();
    const TAccessibleEventSink Previous = SetNowPlayingBarEventSink([](QAccessibleEvent *AEvent) {
        RecordEvent(AEvent);
        if (AEvent->type() == QAccessible::TextUpdated) {
            auto *Update = static_cast<QAccessibleTextUpdateEvent *>(AEvent);
            Updates.push_back(
                {Update->changePosition(), Update->textRemoved(), Update->textInserted()});
        }
    });
    Bar.SetTitle(u"New"_s);
    Bar.SetTitle(u"New"_s); // unchanged: nothing to announce
    SetNowPlayingBarEventSink(Previous);
    QCOMPARE(Updates.size(), size_t(1));
    QCOMPARE(Updates[0].Position, int(u"Next Track "_s.size()));
    QCOMPARE(Updates[0].Removed, u"Old. "_s);
    QCOMPARE(Updates[0].Inserted, u"New. "_s);
}

void TNowPlayingBarTest::halo_data() {
    QTest::addColumn<qint32>("Alpha");
    QTest::addColumn<bool>("Halo");
    QTest::newRow("opaque halo") << 255 << true;
    QTest::newRow("playing bar halo") << 170 << true;
    QTest::newRow("no halo") << 0 << false;
    QTest::newRow("negative opacity draws none") << -20 << false;
}

void TNowPlayingBarTest::halo() {
    QFETCH(qint32, Alpha);
    QFETCH(bool, Halo);
    TShownBar Shown;
    // Mid grey fill, white halo, black text: only the halo can be lighter than the fill.
    Shown.Bar->SetBackColor(0x808080);
    Shown.Bar->SetTextShadowColor(0xFFFFFF);
    Shown.Bar->SetTextWhiteAlpha(Alpha);
    Shown.Bar->SetTitle(u"WHAM Mix 42"_s);
    const QImage Image = Grab(*Shown.Bar);

    const int Lighter = CountInner(
        Image, [](QColor C) { return C.red() > 0x90 || C.green() > 0x90 || C.blue() > 0x90; });
    const int Dark = CountInner(
        Image, [](QColor C) { return C.red() < 0x30 && C.green() < 0x30 && C.blue() < 0x30; });
    QVERIFY2(Dark > 0, "the title itself is drawn");
    if (Halo)
        QVERIFY2(Lighter > 0, "a light halo surrounds the letters");
    else
        QCOMPARE(Lighter, 0);
}

void TNowPlayingBarTest::layoutCache_data() {
    QTest::addColumn<QString>("Change");
    QTest::addColumn<int>("NewLayouts");
    QTest::addColumn<int>("NewFormats");
    QTest::newRow("repaint only") << u"repaint"_s << 0 << 0;
    QTest::newRow("same title") << u"same title"_s << 0 << 0;
    QTest::newRow("colours and halo") << u"colours"_s << 0 << 0;
    QTest::newRow("new title") << u"title"_s << 1 << 0;
    QTest::newRow("additional title") << u"additional"_s << 1 << 0;
    QTest::newRow("resize") << u"resize"_s << 1 << 0;
    QTest::newRow("font change") << u"font"_s << 1 << 1;
}

void TNowPlayingBarTest::layoutCache() {
    QFETCH(QString, Change);
    QFETCH(int, NewLayouts);
    QFETCH(int, NewFormats);
    TShownBar Shown;
    QVERIFY(Shown.Exposed);
    TNowPlayingBar &Bar = *Shown.Bar;
    Bar.SetTitle(u"Song"_s);
    FlushPaints();
    Bar.repaint();
    const int Layouts = Bar.TextLayoutBuilds();
    const int Formats = Bar.TextFormatBuilds();
    QVERIFY(Layouts >= 1);

    if (Change == u"same title")
        Bar.SetTitle(u"Song"_s);
    else if (Change == u"colours") {
        Bar.SetBackColor(0x123456);
        Bar.SetFrameColor(0x654321);
        Bar.SetTextShadowColor(0);
        Bar.SetTextWhiteAlpha(10);
    } else if (Change == u"title")
        Bar.SetTitle(u"Other song"_s);
    else if (Change == u"additional")
        Bar.SetAdditionalTitle(u"more"_s);
    else if (Change == u"resize")
        Bar.resize(Bar.width() - 50, Bar.height());
    else if (Change == u"font") {
        QFont Font = Bar.font();
        Font.setItalic(true);
        Bar.setFont(Font);
    }
    Bar.repaint();
    Bar.repaint();

    QCOMPARE(Bar.TextLayoutBuilds(), Layouts + NewLayouts);
    QCOMPARE(Bar.TextFormatBuilds(), Formats + NewFormats);
}

void TNowPlayingBarTest::longTitleWraps() {
    TShownBar Shown(QSize(120, 80));
    Shown.Bar->SetTextWhiteAlpha(0);
    Shown.Bar->SetTitle(u"Several words that cannot fit on one line"_s);
    const QImage Image = Grab(*Shown.Bar);

    // Rows and columns holding dark text pixels.
    int Top = Image.height(), Bottom = -1, Left = Image.width(), Right = -1;
    for (int y = 1; y < Image.height() - 1; ++y)
        for (int x = 1; x < Image.width() - 1; ++x)
            if (qGray(Image.pixel(x, y)) < 0x40) {
                Top = std::min(Top, y);
                Bottom = std::max(Bottom, y);
                Left = std::min(Left, x);
                Right = std::max(Right, x);
            }
    QVERIFY(Bottom >= 0);
    const int LineHeight = QFontMetrics(Shown.Bar->font()).height();
    QVERIFY2(Bottom - Top + 1 > LineHeight, "the title takes more than one line");
    QVERIFY2(Left >= 6 && Right < Image.width() - 6, "lines stay inside the text box");
    // Centred: the margins left and right of the text are about equal.
    QVERIFY(std::abs((Left - 1) - (Image.width() - 2 - Right)) <= 6);
}

void TNowPlayingBarTest::focusRectFollowsTabbing() {
    QWidget Window;
    auto *Layout = new QHBoxLayout(&Window);
    auto *First = new TNowPlayingBar(&Window);
    auto *Second = new TNowPlayingBar(&Window);
    Layout->addWidget(First);
    Layout->addWidget(Second);
    Window.resize(400, 45);
    Window.show();
    Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Window));
    First->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(First->hasFocus());
    const QImage Unfocused = Grab(*Second);

    // Pixels of the ring just inside the frame that differ from the unfocused look.
    auto RingChanges = [&](const QImage &AImage) {
        int Changed = 0;
        for (int x = 1; x < AImage.width() - 1; ++x) {
            Changed += AImage.pixel(x, 1) != Unfocused.pixel(x, 1);
            Changed +=
                AImage.pixel(x, AImage.height() - 2) != Unfocused.pixel(x, AImage.height() - 2);
        }
        return Changed;
    };

    QTest::keyClick(&Window, Qt::Key_Tab);
    QTRY_VERIFY(Second->hasFocus());
    const QImage Focused = Grab(*Second);
    QVERIFY2(RingChanges(Focused) >= Focused.width() / 2, "a dotted ring marks the focus");
    QCOMPARE(Focused.pixel(0, 0), Unfocused.pixel(0, 0)); // the frame itself stays

    QTest::keyClick(&Window, Qt::Key_Tab);
    QTRY_VERIFY(First->hasFocus());
    QCOMPARE(Grab(*Second), Unfocused);
}

void TNowPlayingBarTest::mouseClickClicks() {
    TShownBar Shown;
    QSignalSpy Spy(Shown.Bar, &TNowPlayingBar::Clicked);
    QTest::mouseClick(Shown.Bar, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(Spy.count(), 1);
    QTest::mouseClick(Shown.Bar, Qt::RightButton, {}, QPoint(10, 10));
    Shown.Bar->Click();
    QCOMPARE(Spy.count(), 2);
}

QTEST_MAIN(TNowPlayingBarTest)
#include "NowPlayingBarTest.moc"
