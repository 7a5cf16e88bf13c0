#pragma once
// Tokens of the component text format. Blanks and line breaks only separate
// tokens; a string token already joins its quoted and #nnn pieces.

#include <QString>
#include <QStringView>

enum TTokenKind {
    tkEof,
    tkIdent,   // letters, digits, underscores
    tkString,  // the decoded text of adjacent pieces
    tkInteger, // "12", "-3", "$1F"
    tkFloat,   // "0.5", "1E-3", "2.5s"
    tkSymbol,  // one of = < > ( ) [ ] { } , : . + -
};

struct TToken {
    TTokenKind Kind = tkEof;
    QString Text;
    char16_t Symbol = 0;
    int Line = 1;
};

class TComponentLexer {
public:
    explicit TComponentLexer(QStringView AText);

    const TToken &Token() const { return FToken; }
    void Next();

    bool IsSymbol(char16_t ASymbol) const {
        return FToken.Kind == tkSymbol && FToken.Symbol == ASymbol;
    }
    bool IsKeyword(QStringView AKeyword) const;

    // With "{" as the current token: the hexadecimal digits up to the closing
    // "}", blanks removed; the token after the "}" becomes current.
    QString ReadBinary();

    // Raises EParserError at the current token's line; at the end of the text
    // the reason is always "Unexpected end of file".
    [[noreturn]] void Fail(const QString &AReason) const;

private:
    [[noreturn]] void FailAt(const QString &AReason, int ALine) const;
    void SkipBlanks();
    void ReadString();
    void ReadNumber();
    void ReadIdent();

    QStringView FText;
    qsizetype FPos = 0;
    int FLine = 1;
    TToken FToken;
};
