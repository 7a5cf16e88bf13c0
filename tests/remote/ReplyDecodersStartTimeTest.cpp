// Start times: "h:m:s" shown as a time of day in the user's long time format.

#include "remote/ReplyDecoders.h"

#include <QLocale>
#include <QString>
#include <QTime>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

// What the user should see for a time of day: the system locale writing it
// with the zone-free long pattern.
QString UserTime(int AHour, int AMinute, int ASecond) {
    return QLocale::system().toString(QTime(AHour, AMinute, ASecond),
                                      UserTimeOfDayFormat().Pattern());
}

TEST(StartTime, ThreePartsBecomeALocalTimeOfDay) {
    EXPECT_EQ(ConvertStartTime(QStringLiteral("7:5:9")), UserTime(7, 5, 9));
    EXPECT_EQ(ConvertStartTime(QStringLiteral("23:59:59")), UserTime(23, 59, 59));
    EXPECT_EQ(ConvertStartTime(QStringLiteral("0:0:0")), UserTime(0, 0, 0));
    EXPECT_EQ(ConvertStartTime(QStringLiteral("+07:05:09")), UserTime(7, 5, 9));
}

TEST(StartTime, PartsThatAreNotNumbersCountAsZero) {
    const struct {
        const char *Text;
        int Hour, Minute, Second;
    } Cases[] = {{"x:5:9", 0, 5, 9},  {"::", 0, 0, 0},      {"7::", 7, 0, 0},
                 {" 7:5:9", 0, 5, 9}, {"7:5.5:9", 7, 0, 9}, {"7:5:", 7, 5, 0}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Text);
        EXPECT_EQ(ConvertStartTime(QString::fromUtf8(Case.Text)),
                  UserTime(Case.Hour, Case.Minute, Case.Second));
    }
}

TEST(StartTime, OtherShapesAndImpossibleTimesStayAsSent) {
    for (const char *Text : {"", "12:30", "1:2:3:4", ":", "abc", "25:00:00", "24:00:00", "-1:00:00",
                             "7:60:00", "7:00:60", "7:-1:00", "99999999999:0:0"}) {
        SCOPED_TRACE(Text);
        EXPECT_EQ(ConvertStartTime(QString::fromUtf8(Text)), QString::fromUtf8(Text));
    }
}

TEST(StartTime, TheUserPatternHasNoTimeZone) {
    const QString Pattern = UserTimeOfDayFormat().Pattern();
    EXPECT_FALSE(Pattern.isEmpty());
    EXPECT_EQ(Pattern, TimeOfDayPattern(QLocale::system().timeFormat(QLocale::LongFormat)));
    EXPECT_EQ(Pattern, TimeOfDayPattern(Pattern));
}

TEST(StartTime, ManyThreadsAtOnce) {
    const QString Expected = ConvertStartTime(QStringLiteral("13:14:15"));
    std::vector<std::thread> Threads;
    std::atomic<int> Wrong{0};
    for (int T = 0; T < 4; ++T)
        Threads.emplace_back([&] {
            for (int I = 0; I < 200; ++I)
                if (ConvertStartTime(QStringLiteral("13:14:15")) != Expected)
                    ++Wrong;
        });
    for (std::thread &Thread : Threads)
        Thread.join();
    EXPECT_EQ(Wrong, 0);
}

TEST(TimeOfDayPattern, RemovesTheZoneAndItsSeparator) {
    const struct {
        const char *Locale;
        const char *Expected;
    } Cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"tttt HH:mm:ss", "HH:mm:ss"},
        {"HH:mm:ss tttt", "HH:mm:ss"},
        {"HH 'h' mm 'min' ss 's' t", "HH 'h' mm 'min' ss 's'"},
        {"H:mm:ss (t)", "H:mm:ss"},
        {"H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
        {"AP h시 m분 s초 t", "AP h시 m분 s초"},
        {"HH:mm:ss\u202ft", "HH:mm:ss"},
        {"'at' HH:mm:ss", "'at' HH:mm:ss"},
        {"HH:mm:ss 'o''clock' t", "HH:mm:ss 'o''clock'"},
        {"''HH:mm:ss t''", "''HH:mm:ss''"},
        {"HH:mm:ss", "HH:mm:ss"},
        {"t", "HH:mm:ss"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Locale);
        EXPECT_EQ(TimeOfDayPattern(QString::fromUtf8(Case.Locale)),
                  QString::fromUtf8(Case.Expected));
    }
}

// The formatter must write exactly what QLocale writes, in locales with
// 12-hour clocks, their own digits and day-period words, and quoted text, on
// the first call and on every later one.
class TimeOfDayFormatLocale : public testing::TestWithParam<const char *> {};

TEST_P(TimeOfDayFormatLocale, WritesWhatQLocaleWrites) {
    const QLocale Locale(QString::fromLatin1(GetParam()));
    const QString Pattern = TimeOfDayPattern(Locale.timeFormat(QLocale::LongFormat));
    const TTimeOfDayFormat Format(Locale, Pattern);
    for (int Round = 0; Round < 2; ++Round)
        for (int Hour = 0; Hour < 24; ++Hour)
            for (int Minute : {0, 1, 9, 10, 30, 59})
                for (int Second : {0, 5, 10, 59}) {
                    const QTime Time(Hour, Minute, Second);
                    ASSERT_EQ(Format.Format(Hour, Minute, Second), Locale.toString(Time, Pattern))
                        << Time.toString(Qt::ISODate).toStdString() << " " << Pattern.toStdString();
                }
}

INSTANTIATE_TEST_SUITE_P(Locales, TimeOfDayFormatLocale,
                         testing::Values("C", "en_US", "de_DE", "fr_CA", "zh_CN", "ja_JP", "ko_KR",
                                         "ar_EG", "fa_IR", "bg_BG", "fi_FI", "hi_IN"));

TEST(TimeOfDayFormat, PatternsWithEveryField) {
    const QLocale Locale(QStringLiteral("en_US"));
    for (const char *Pattern :
         {"h:m:s", "hh:mm:ss", "H.m.s", "HHH mmm sss", "h:mm:ss ap", "h:mm:ss a", "h:mm A",
          "h:mm Ap", "h:mm aP", "HH:mm:ss.zzz", "HH:mm:ss.z", "'It''s' h 'o''clock'", "''",
          "dd HH:mm", "HH:mm:ss 'unterminated"}) {
        SCOPED_TRACE(Pattern);
        const TTimeOfDayFormat Format(Locale, QString::fromUtf8(Pattern));
        for (int Hour : {0, 1, 11, 12, 13, 23})
            EXPECT_EQ(Format.Format(Hour, 7, 8),
                      Locale.toString(QTime(Hour, 7, 8), QString::fromUtf8(Pattern)));
    }
}

TEST(TimeOfDayFormat, AZoneLeftInThePatternIsWrittenAsQLocaleWritesIt) {
    const QLocale Locale(QStringLiteral("de_DE"));
    const TTimeOfDayFormat Format(Locale, QStringLiteral("HH:mm:ss t"));
    EXPECT_EQ(Format.Format(7, 5, 9),
              Locale.toString(QTime(7, 5, 9), QStringLiteral("HH:mm:ss t")));
}

TEST(TimeOfDayFormat, ThreadsFormattingAtOnceGetQLocalesTexts) {
    const QLocale Locale(QStringLiteral("en_US"));
    const QString Pattern = QStringLiteral("h:mm:ss AP");
    const TTimeOfDayFormat Format(Locale, Pattern);
    std::vector<QString> Expected;
    for (int Second = 0; Second < 600; ++Second)
        Expected.push_back(Locale.toString(QTime(9, Second / 60, Second % 60), Pattern));
    std::atomic<int> Wrong{0};
    std::vector<std::thread> Threads;
    for (int T = 0; T < 4; ++T)
        Threads.emplace_back([&, T] {
            for (int I = 0; I < 600; ++I) {
                const int Second = (I * 7 + T * 131) % 600;
                if (Format.Format(9, Second / 60, Second % 60) != Expected[size_t(Second)])
                    ++Wrong;
            }
        });
    for (std::thread &Thread : Threads)
        Thread.join();
    EXPECT_EQ(Wrong.load(), 0);
}

} // namespace
