// Station titles in Japanese or Chinese are drawn with real glyphs, not boxes:
// the machine has a font that covers them, and the bars' font falls back to it.

#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

using namespace Qt::StringLiterals;

class TCjkTitleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aFontCoversKanaAndHanzi() {
        // U+3042 (Hiragana A) and U+4E2D (the Han "middle"), in one family.
        QStringList covering;
        for (const QString &family : QFontDatabase::families()) {
            const QRawFont raw = QRawFont::fromFont(QFont(family));
            if (raw.supportsCharacter(char32_t(0x3042)) && raw.supportsCharacter(char32_t(0x4E2D)))
                covering << family;
        }
        QVERIFY2(!covering.isEmpty(),
                 "no installed font covers both U+3042 and U+4E2D (tools/install-deps.sh)");
    }

    void titlesLayOutWithoutMissingGlyphs_data() {
        QTest::addColumn<QString>("Title");
        QTest::newRow("Japanese") << u"夜明けのバス - 東京の雨"_s;
        QTest::newRow("Chinese") << u"中文电台 - 月亮代表我的心"_s;
        QTest::newRow("mixed with Latin") << u"さくらノート - 春の風 (Live)"_s;
    }
    void titlesLayOutWithoutMissingGlyphs() {
        QFETCH(QString, Title);
        // The bars' font: the default family, 9 points, bold.
        QFont font;
        font.setPointSize(9);
        font.setBold(true);
        QTextLayout layout(Title, font);
        layout.beginLayout();
        layout.createLine().setLineWidth(10000);
        layout.endLayout();
        int glyphs = 0;
        for (const QGlyphRun &run : layout.glyphRuns()) {
            for (quint32 glyph : run.glyphIndexes()) {
                QVERIFY2(glyph != 0, qPrintable(u"a box in %1 (font %2)"_s.arg(
                                         Title, run.rawFont().familyName())));
                ++glyphs;
            }
        }
        QVERIFY(glyphs > 0);
    }
};

QTEST_MAIN(TCjkTitleTest)
#include "CjkTitleTest.moc"
