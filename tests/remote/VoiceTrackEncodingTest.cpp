#include "remote/UrlEncoding.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

QByteArray Bytes(std::initializer_list<int> AValues) {
    QByteArray out;
    for (int v : AValues)
        out.append(char(v));
    return out;
}

QByteArray Repeat(const QByteArray &APiece, int ACount) {
    return APiece.repeated(ACount);
}

// Qt's Base64 with CR LF put after every 76 characters, the last line included
// when it is full: an encoder independent of the one under test.
QByteArray ReferenceBase64Lines(const QByteArray &AData) {
    const QByteArray plain = AData.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < plain.size(); i += 76) {
        const QByteArray line = plain.mid(i, 76);
        out += line;
        if (line.size() == 76)
            out += "\r\n";
    }
    return out;
}

// Base64 characters other than letters and digits all leave Qt's percent
// encoding as upper-case %XX, which is the form the server expects.
QByteArray ReferenceVoiceTrack(const QByteArray &AData) {
    return ReferenceBase64Lines(AData).toPercentEncoding();
}

// Random bytes, half of them taken from values whose sextets are "+" or "/",
// so that the escaped characters are common.
QByteArray SampleData(qsizetype ASize, std::mt19937 &ARandom) {
    static const unsigned char high[] = {0xFF, 0xFB, 0xEF, 0xBE, 0xF8, 0x3F};
    QByteArray out(ASize, Qt::Uninitialized);
    for (char &c : out)
        c = char(ARandom() % 2 ? ARandom() : high[ARandom() % std::size(high)]);
    return out;
}

struct TBase64Case {
    const char *Name;
    QByteArray Data;
    QByteArray Expected;
};

TEST(Base64Lines, HandWorkedVectors) {
    const QByteArray crlf = "\r\n";
    const TBase64Case cases[] = {
        {"empty", "", ""},
        {"one byte", "f", "Zg=="},
        {"two bytes", "fo", "Zm8="},
        {"three bytes", "foo", "Zm9v"},
        {"six bytes", "foobar", "Zm9vYmFy"},
        {"plus and slash", Bytes({0xFB, 0xFF, 0xBF}), "+/+/"},
        {"56 bytes: 19th group padded, then CR LF", QByteArray(56, 0),
         Repeat("A", 75) + "=" + crlf},
        {"57 bytes: one full line ends in CR LF", QByteArray(57, 0), Repeat("A", 76) + crlf},
        {"58 bytes: second line of one group", QByteArray(58, 0), Repeat("A", 76) + crlf + "AA=="},
        {"114 bytes: two full lines", QByteArray(114, 0), Repeat(Repeat("A", 76) + crlf, 2)},
        {"59 bytes of 0xFF", QByteArray(59, char(0xFF)), Repeat("/", 76) + crlf + "//8="},
    };
    for (const TBase64Case &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Base64Lines(c.Data), c.Expected);
    }
}

TEST(Base64Lines, AgreesWithReferenceForEverySmallSize) {
    std::mt19937 random(7);
    for (qsizetype size = 0; size <= 300; ++size) {
        SCOPED_TRACE(size);
        const QByteArray data = SampleData(size, random);
        EXPECT_EQ(Base64Lines(data), ReferenceBase64Lines(data));
    }
}

TEST(EncodeVoiceTrack, HandWorkedVectors) {
    const TBase64Case cases[] = {
        {"empty file gives an empty value", "", ""},
        {"letters and digits unchanged", "foobar", "Zm9vYmFy"},
        {"plus, slash and padding escaped", Bytes({0xFB, 0xFF}), "%2B%2F8%3D"},
        {"two padding characters", Bytes({0xFF}), "%2Fw%3D%3D"},
        {"all plus", Bytes({0xFB, 0xEF, 0xBE}), "%2B%2B%2B%2B"},
        {"full line of zeros", QByteArray(57, 0), Repeat("A", 76) + "%0D%0A"},
        {"full line of slashes", QByteArray(57, char(0xFF)), Repeat("%2F", 76) + "%0D%0A"},
        {"padded last group ends a line", QByteArray(56, char(0xFF)),
         Repeat("%2F", 74) + "8%3D%0D%0A"},
        {"line break then a short group", QByteArray(58, 0), Repeat("A", 76) + "%0D%0AAA%3D%3D"},
    };
    for (const TBase64Case &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(EncodeVoiceTrack(c.Data), c.Expected);
        EXPECT_EQ(EncodedVoiceTrackSize(c.Data), c.Expected.size());
    }
}

TEST(EncodeVoiceTrack, AgreesWithReferenceAndSize) {
    std::mt19937 random(11);
    std::vector<qsizetype> sizes;
    for (qsizetype size = 0; size <= 300; ++size)
        sizes.push_back(size);
    sizes.insert(sizes.end(), {4096, 65535, 65536, 100001, (1 << 20) + 2});
    for (qsizetype size : sizes) {
        SCOPED_TRACE(size);
        const QByteArray data = SampleData(size, random);
        const QByteArray encoded = EncodeVoiceTrack(data);
        EXPECT_EQ(encoded, ReferenceVoiceTrack(data));
        EXPECT_EQ(EncodedVoiceTrackSize(data), encoded.size());
    }
}

// The counting pass reads several bytes at once; it must count only the
// bytes of the view, whatever lies behind it and wherever it starts.
TEST(EncodedVoiceTrackSize, CountsOnlyTheViewedBytes) {
    std::mt19937 random(3);
    const QByteArray buffer = SampleData(400, random) + QByteArray(64, char(0xFF));
    for (qsizetype start = 0; start < 8; ++start) {
        for (qsizetype size = 0; size <= 100; ++size) {
            SCOPED_TRACE(testing::Message() << "start " << start << " size " << size);
            const QByteArrayView view = QByteArrayView(buffer).sliced(start, size);
            EXPECT_EQ(EncodedVoiceTrackSize(view), ReferenceVoiceTrack(view.toByteArray()).size());
        }
    }
}

// Files of only 0xFF grow the most (every character escaped); the size must
// still be exact there.
TEST(EncodedVoiceTrackSize, LargestExpansion) {
    for (qsizetype size : {1, 2, 3, 56, 57, 58, 1000, 65537}) {
        SCOPED_TRACE(size);
        const QByteArray data(size, char(0xFF));
        EXPECT_EQ(EncodedVoiceTrackSize(data), ReferenceVoiceTrack(data).size());
    }
}

} // namespace
