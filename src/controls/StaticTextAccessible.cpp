#include "controls/StaticTextAccessible.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <vector>

namespace {

// Where the pieces of AText begin, for the boundary a reader asks for, with
// the text's end last: for "Song 3" by word {0, 4, 5, 6}.
std::vector<int> Boundaries(const QString &AText, QAccessible::TextBoundaryType AType) {
    std::vector<int> Result{0};
    const int Length = static_cast<int>(AText.size());
    QTextBoundaryFinder::BoundaryType Kind = QTextBoundaryFinder::Grapheme;
    switch (AType) {
    case QAccessible::CharBoundary:
        break;
    case QAccessible::WordBoundary:
        Kind = QTextBoundaryFinder::Word;
        break;
    case QAccessible::SentenceBoundary:
        Kind = QTextBoundaryFinder::Sentence;
        break;
    default:
        // One line, one paragraph: the whole text is one piece.
        if (Length > 0)
            Result.push_back(Length);
        return Result;
    }
    QTextBoundaryFinder Finder(Kind, AText);
    for (qsizetype At = Finder.toNextBoundary(); At > 0; At = Finder.toNextBoundary())
        Result.push_back(static_cast<int>(At));
    if (Result.back() != Length)
        Result.push_back(Length);
    return Result;
}

// The piece that holds AOffset, moved by AStep pieces (-1 before, +1 after).
QString Piece(const QString &AText, int AOffset, QAccessible::TextBoundaryType AType, int AStep,
              int *AStartOffset, int *AEndOffset) {
    *AStartOffset = *AEndOffset = -1;
    const int Length = static_cast<int>(AText.size());
    if (AOffset == -2) // the caret, which a read-only text keeps at the start
        AOffset = 0;
    if (AOffset < 0 || AOffset > Length)
        return {};
    const std::vector<int> Starts = Boundaries(AText, AType);
    // The last piece also holds the offset just past the text.
    auto Next = std::upper_bound(Starts.begin(), Starts.end(), AOffset);
    int Index = static_cast<int>(Next - Starts.begin()) - 1;
    Index = std::min(Index, static_cast<int>(Starts.size()) - 2);
    Index += AStep;
    if (Index < 0 || Index + 1 >= static_cast<int>(Starts.size()))
        return {};
    *AStartOffset = Starts[static_cast<size_t>(Index)];
    *AEndOffset = Starts[static_cast<size_t>(Index) + 1];
    return AText.mid(*AStartOffset, *AEndOffset - *AStartOffset);
}

} // namespace

void TStaticTextInterface::selection(int, int *AStartOffset, int *AEndOffset) const {
    *AStartOffset = *AEndOffset = 0;
}

QString TStaticTextInterface::text(int AStartOffset, int AEndOffset) const {
    const QString Text = ShownText();
    const int Length = static_cast<int>(Text.size());
    if (AEndOffset < 0 || AEndOffset > Length)
        AEndOffset = Length;
    AStartOffset = std::clamp(AStartOffset, 0, AEndOffset);
    return Text.mid(AStartOffset, AEndOffset - AStartOffset);
}

QString TStaticTextInterface::textBeforeOffset(int AOffset,
                                               QAccessible::TextBoundaryType ABoundaryType,
                                               int *AStartOffset, int *AEndOffset) const {
    return Piece(ShownText(), AOffset, ABoundaryType, -1, AStartOffset, AEndOffset);
}

QString TStaticTextInterface::textAfterOffset(int AOffset,
                                              QAccessible::TextBoundaryType ABoundaryType,
                                              int *AStartOffset, int *AEndOffset) const {
    return Piece(ShownText(), AOffset, ABoundaryType, +1, AStartOffset, AEndOffset);
}

QString TStaticTextInterface::textAtOffset(int AOffset, QAccessible::TextBoundaryType ABoundaryType,
                                           int *AStartOffset, int *AEndOffset) const {
    return Piece(ShownText(), AOffset, ABoundaryType, 0, AStartOffset, AEndOffset);
}

QString TStaticTextInterface::attributes(int AOffset, int *AStartOffset, int *AEndOffset) const {
    // No runs of different formatting: the whole text has the same (none).
    const int Length = characterCount();
    *AStartOffset = AOffset < 0 || AOffset > Length ? -1 : 0;
    *AEndOffset = *AStartOffset < 0 ? -1 : Length;
    return {};
}
