// The window position keeper over real ini files: what it restores, what it
// writes, and when it must write nothing.

#include "controls/PosSave.h"

#include "config/IniFile.h"
#include "controls/WindowHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <memory>

namespace {

// The window as its description builds it, before anything is restored.
const QRect BuiltIn(50, 60, 400, 300);

void PrepareWindow(QWidget &AWindow) {
    AWindow.move(BuiltIn.topLeft());
    AWindow.resize(BuiltIn.size());
}

QRect Placement(const QWidget &AWindow) {
    return QRect(AWindow.pos(), AWindow.size());
}

} // namespace

class TPosSaveTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString IniName() const { return FDir->filePath(QStringLiteral("windowpos.ini")); }

    void WriteIni(const QByteArray &AContent) const {
        QFile file(IniName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(AContent);
    }

    QByteArray ReadIni() const {
        QFile file(IniName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

private Q_SLOTS:
    void init() { FDir = std::make_unique<QTemporaryDir>(); }
    void cleanup() {
        FDir->setAutoRemove(!QTest::currentTestFailed());
        FDir.reset();
    }

    void restoreApplies_data() {
        QTest::addColumn<QByteArray>("stored"); // empty: no file at all
        QTest::addColumn<bool>("startMaximised");
        QTest::addColumn<QSize>("minimumSize");
        QTest::addColumn<QRect>("placement");
        QTest::addColumn<bool>("maximised");

        const QSize none(0, 0);
        QTest::newRow("stored position and size")
            << QByteArray("X=120\r\nY=80\r\nW=500\r\nH=350\r\nS=0\r\n") << false << none
            << QRect(120, 80, 500, 350) << false;
        QTest::newRow("stored maximised keeps the built-in size for later")
            << QByteArray("X=10\r\nY=20\r\nW=0\r\nH=0\r\nS=1\r\n") << false << none
            << QRect(10, 20, 400, 300) << true;
        QTest::newRow("a stored S of 2 counts as not maximised")
            << QByteArray("X=120\r\nY=80\r\nW=500\r\nH=350\r\nS=2\r\n") << false << none
            << QRect(120, 80, 500, 350) << false;
        QTest::newRow("S of 2 over a maximised record keeps the built-in size")
            << QByteArray("X=10\r\nY=20\r\nW=0\r\nH=0\r\nS=2\r\n") << false << none
            << QRect(10, 20, 400, 300) << false;
        QTest::newRow("stored normal un-maximises the window")
            << QByteArray("X=120\r\nY=80\r\nW=500\r\nH=350\r\nS=0\r\n") << true << none
            << QRect(120, 80, 500, 350) << false;
        QTest::newRow("no file keeps the built-in placement")
            << QByteArray() << false << none << BuiltIn << false;
        QTest::newRow("missing keys keep the current values")
            << QByteArray("X=7\r\nH=250\r\n") << false << none << QRect(7, 60, 400, 250) << false;
        QTest::newRow("keys of another section are not ours")
            << QByteArray("[Other]\r\nX=1\r\nY=2\r\nW=3\r\nH=4\r\nS=1\r\n") << false << none
            << BuiltIn << false;
        QTest::newRow("an empty section header names our section")
            << QByteArray("[]\r\nX=15\r\nY=25\r\nW=450\r\nH=320\r\n") << false << none
            << QRect(15, 25, 450, 320) << false;
        QTest::newRow("not a number keeps the current value")
            << QByteArray("X=left\r\nY=30\r\n") << false << none << QRect(50, 30, 400, 300)
            << false;
        QTest::newRow("the window's minimum size still applies")
            << QByteArray("X=5\r\nY=6\r\nW=100\r\nH=50\r\nS=0\r\n") << false << QSize(200, 150)
            << QRect(5, 6, 200, 150) << false;
    }
    void restoreApplies() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, startMaximised);
        QFETCH(QSize, minimumSize);
        QFETCH(QRect, placement);
        QFETCH(bool, maximised);
        if (!stored.isEmpty())
            WriteIni(stored);
        QWidget window;
        window.setMinimumSize(minimumSize);
        PrepareWindow(window);
        if (startMaximised)
            window.setWindowState(Qt::WindowMaximized);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();

        QVERIFY(!keeper.CanWrite());
        keeper.RestorePos();

        QVERIFY(keeper.CanWrite());
        QCOMPARE(window.isMaximized(), maximised);
        QCOMPARE(Placement(window), placement);
    }

    void restoreReadsTheNamedSection() {
        WriteIni("X=1\r\nY=2\r\n[Main]\r\nX=30\r\nY=40\r\nW=350\r\nH=250\r\nS=0\r\n");
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.Key = QStringLiteral("main"); // sections are found without regard to case
        keeper.RestorePos();
        QCOMPARE(Placement(window), QRect(30, 40, 350, 250));
    }

    void savedFileHoldsTheWindow_data() {
        QTest::addColumn<bool>("maximised");
        QTest::newRow("normal window") << false;
        QTest::newRow("maximised window") << true;
    }
    void savedFileHoldsTheWindow() {
        QFETCH(bool, maximised);
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.RestorePos();
        if (maximised)
            window.showMaximized();
        else
            window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        keeper.SavePos();

        const TIniFile ini(IniName());
        const QString none;
        QCOMPARE(ini.ReadSection(none),
                 (QStringList{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("W"),
                              QStringLiteral("H"), QStringLiteral("S")}));
        QCOMPARE(ini.ReadInteger(none, QStringLiteral("X"), -1), window.x());
        QCOMPARE(ini.ReadInteger(none, QStringLiteral("Y"), -1), window.y());
        QCOMPARE(ini.ReadInteger(none, QStringLiteral("W"), -1), maximised ? 0 : window.width());
        QCOMPARE(ini.ReadInteger(none, QStringLiteral("H"), -1), maximised ? 0 : window.height());
        QCOMPARE(ini.ReadInteger(none, QStringLiteral("S"), -1), maximised ? 1 : 0);
    }

    // Closed maximised, the next start opens maximised, and un-maximising
    // gives the window's built-in size rather than the maximised one.
    void maximisedRoundTrip() {
        {
            QWidget window;
            PrepareWindow(window);
            TLxPosSave keeper(&window);
            keeper.IniFileName = IniName();
            keeper.RestorePos();
            window.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            keeper.SavePos();
        }
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.RestorePos();
        QVERIFY(window.isMaximized());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.size() != BuiltIn.size());

        window.showNormal();
        QTRY_COMPARE(window.size(), BuiltIn.size());
    }

    void normalRoundTrip() {
        {
            QWidget window;
            PrepareWindow(window);
            TLxPosSave keeper(&window);
            keeper.IniFileName = IniName();
            keeper.RestorePos();
            window.move(90, 70);
            window.resize(520, 330);
            keeper.SavePos();
        }
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.RestorePos();
        QVERIFY(!window.isMaximized());
        QCOMPARE(Placement(window), QRect(90, 70, 520, 330));
    }

    void neverRestoredWritesNothing_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("no file yet") << QByteArray();
        QTest::newRow("stored position stays")
            << QByteArray("X=120\r\nY=80\r\nW=500\r\nH=350\r\nS=1\r\n");
    }
    void neverRestoredWritesNothing() {
        QFETCH(QByteArray, stored);
        if (!stored.isEmpty())
            WriteIni(stored);
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();

        keeper.SavePos();

        QCOMPARE(QFile::exists(IniName()), !stored.isEmpty());
        QCOMPARE(ReadIni(), stored);
    }

    void savingKeepsTheRestOfTheFile() {
        WriteIni("; kept by hand\r\n[Other]\r\nA=1\r\n[Main]\r\nX=1\r\nExtra=yes\r\n");
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.Key = QStringLiteral("Main");
        keeper.RestorePos();
        keeper.SavePos();

        const QByteArray text = ReadIni();
        QVERIFY(text.startsWith("; kept by hand\r\n[Other]\r\nA=1\r\n"));
        const TIniFile ini(IniName());
        const QString main = QStringLiteral("Main");
        QCOMPARE(ini.ReadString(main, QStringLiteral("Extra"), QString()), QStringLiteral("yes"));
        QCOMPARE(ini.ReadInteger(main, QStringLiteral("X"), -1), 1);
        QCOMPARE(ini.ReadInteger(main, QStringLiteral("Y"), -1), BuiltIn.y());
        QCOMPARE(ini.ReadInteger(main, QStringLiteral("W"), -1), BuiltIn.width());
    }

    void unwritableFileIsIgnored_data() {
        QTest::addColumn<QString>("relativeName");
        QTest::newRow("folder does not exist") << QStringLiteral("missing/windowpos.ini");
        QTest::newRow("name is a folder") << QStringLiteral("folder");
    }
    void unwritableFileIsIgnored() {
        QFETCH(QString, relativeName);
        QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("folder")));
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = FDir->filePath(relativeName);
        keeper.RestorePos();
        QCOMPARE(Placement(window), BuiltIn);

        keeper.SavePos(); // must neither throw nor create anything

        QVERIFY(!QFile::exists(FDir->filePath(QStringLiteral("missing"))));
        QVERIFY(QFileInfo(FDir->filePath(QStringLiteral("folder"))).isDir());
    }

    // The keeper does not look at the screens itself; the window calls
    // EnsureFormOnScreen right after restoring.
    void positionOffEveryScreen_data() {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<bool>("centred");
        QTest::newRow("monitor on the left removed") << QPoint(-20000, 100) << true;
        QTest::newRow("monitor below removed") << QPoint(100, 20000) << true;
        QTest::newRow("partly on the screen stays") << QPoint(-100, 10) << false;
    }
    void positionOffEveryScreen() {
        QFETCH(QPoint, stored);
        QFETCH(bool, centred);
        WriteIni(QStringLiteral("X=%1\r\nY=%2\r\nW=300\r\nH=200\r\nS=0\r\n")
                     .arg(stored.x())
                     .arg(stored.y())
                     .toLatin1());
        QWidget window;
        PrepareWindow(window);
        TLxPosSave keeper(&window);
        keeper.IniFileName = IniName();
        keeper.RestorePos();
        QCOMPARE(window.pos(), stored);

        EnsureFormOnScreen(&window);

        const QRect area = QGuiApplication::primaryScreen()->geometry();
        const QSize frame = window.frameGeometry().size();
        const QPoint expected = centred ? QPoint(area.left() + (area.width() - frame.width()) / 2,
                                                 area.top() + (area.height() - frame.height()) / 2)
                                        : stored;
        QCOMPARE(window.pos(), expected);
        QCOMPARE(window.size(), QSize(300, 200));
    }
};

QTEST_MAIN(TPosSaveTest)
#include "PosSaveTest.moc"
