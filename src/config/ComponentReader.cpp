// Reading the component text format. Each property line is parsed whole into
// a value node first and only then given to its property, so a value of the
// wrong kind costs that line only, and a parse error never leaves a property
// half read.

#include "config/ComponentLexer.h"
#include "config/ComponentText.h"
#include "config/ConfigErrors.h"
#include "config/FloatText.h"
#include "config/Persistent.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Deeper than any configuration object nests; keeps a hostile file from
// exhausting the stack.
constexpr int MaxDepth = 64;

// The value of an integer token: decimal with an optional minus, or $ and
// hexadecimal digits.
std::optional<qint64> ParseIntegerToken(QStringView AText) {
    const bool hex = AText.startsWith(u'$');
    const std::string text = (hex ? AText.sliced(1) : AText).toLatin1().toStdString();
    if (hex) {
        quint64 value = 0;
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), value, 16);
        if (error != std::errc() || end != text.data() + text.size() ||
            value > static_cast<quint64>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(value);
    }
    qint64 value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The 32-bit pattern of an integer value, or none when it does not fit.
// Hexadecimal values may use the top bit ($FFFFFFFF is -1 for a signed
// property); unsigned properties also take the negative decimal form that
// older writers produced for values above 2147483647.
std::optional<quint32> ThirtyTwoBits(const TValueNode &AValue, bool AUnsigned) {
    if (AValue.Kind != vkInteger)
        return std::nullopt;
    const std::optional<qint64> value = ParseIntegerToken(AValue.Text);
    if (!value)
        return std::nullopt;
    const bool hex = AValue.Text.startsWith(u'$');
    const qint64 low = std::numeric_limits<qint32>::min();
    const qint64 high = hex || AUnsigned ? qint64(std::numeric_limits<quint32>::max())
                                         : qint64(std::numeric_limits<qint32>::max());
    if (*value < low || *value > high)
        return std::nullopt;
    return static_cast<quint32>(*value);
}

std::optional<double> FloatValue(const TValueNode &AValue) {
    if (AValue.Kind == vkInteger) {
        const std::optional<qint64> value = ParseIntegerToken(AValue.Text);
        return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
    }
    if (AValue.Kind != vkFloat)
        return std::nullopt;
    QStringView text = AValue.Text;
    const char16_t last = text.isEmpty() ? 0 : (text.back().unicode() | 0x20);
    if (last == u's' || last == u'c' || last == u'd')
        text.chop(1);
    return ParseFloatText(text);
}

// A value that rounds to a finite single; the text of the largest single
// may lie a little above it.
std::optional<double> SingleValue(const TValueNode &AValue) {
    const std::optional<double> value = FloatValue(AValue);
    const double limit = double(FLT_MAX) + std::ldexp(1.0, 103); // half a step above it
    if (!value || std::fabs(*value) >= limit)
        return std::nullopt;
    return std::clamp(*value, double(-FLT_MAX), double(FLT_MAX));
}

bool IsIdent(const TValueNode &AValue, QStringView AIdent) {
    return AValue.Kind == vkIdent && AValue.Text.compare(AIdent, Qt::CaseInsensitive) == 0;
}

void ApplyProperty(TPersistent &AObj, TPropNode &&AProp, QString &ALastKnown);

// Gives AValue to one property; a value of another kind is passed over.
void ApplyValue(TPersistent &AObj, const TPropInfo &AInfo, TValueNode &&AValue) {
    switch (AInfo.Kind) {
    case pkInteger:
        if (const auto bits = ThirtyTwoBits(AValue, false))
            AInfo.SetOrd(AObj, static_cast<qint32>(*bits));
        break;
    case pkCardinal:
        if (const auto bits = ThirtyTwoBits(AValue, true))
            AInfo.SetOrd(AObj, *bits);
        break;
    case pkBoolean:
        if (IsIdent(AValue, u"True"))
            AInfo.SetOrd(AObj, 1);
        else if (IsIdent(AValue, u"False"))
            AInfo.SetOrd(AObj, 0);
        break;
    case pkEnum:
        if (AValue.Kind == vkIdent && AInfo.Enum) {
            const int value = AInfo.Enum->ValueOf(AValue.Text);
            if (value >= 0)
                AInfo.SetOrd(AObj, value);
        }
        break;
    case pkString:
        if (AValue.Kind == vkString)
            AInfo.SetStr(AObj, AValue.Text);
        break;
    case pkDouble:
        if (const auto value = FloatValue(AValue))
            AInfo.SetFloat(AObj, *value);
        break;
    case pkSingle:
        if (const auto value = SingleValue(AValue))
            AInfo.SetFloat(AObj, *value);
        break;
    case pkCollection: {
        // An empty collection in the file leaves the items of creation.
        if (AValue.Kind != vkCollection || AValue.Items.empty())
            break;
        TCollection &collection = AInfo.EditCollection(AObj);
        collection.Clear();
        for (std::vector<TPropNode> &block : AValue.Items) {
            TCollectionItem &item = collection.AddItem();
            QString lastKnown;
            for (TPropNode &prop : block)
                ApplyProperty(item, std::move(prop), lastKnown);
        }
        break;
    }
    case pkStrings: {
        if (AValue.Kind != vkList)
            break;
        QStringList lines;
        for (const TValueNode &element : AValue.Elements) {
            if (element.Kind != vkString)
                return;
            lines.append(element.Text);
        }
        AInfo.EditStrings(AObj) = std::move(lines);
        break;
    }
    case pkObject:
        // An owned object takes only its properties, by dotted names.
        break;
    }
}

// The object and table entry a (possibly dotted) property name stands for:
// "VSTFolder.Strings" is the string list VSTFolder, "Font.Size" the property
// Size of the owned object Font. Info is null when some part of the name is
// not in a table.
struct TTarget {
    TPersistent *Obj = nullptr;
    const TPropInfo *Info = nullptr;
};

TTarget Resolve(TPersistent &AObj, QStringView AName) {
    const qsizetype dot = AName.indexOf(u'.');
    const TPropInfo *info = AObj.Properties().Find(dot < 0 ? AName : AName.first(dot));
    if (!info)
        return {};
    if (dot < 0)
        return {&AObj, info};
    const QStringView rest = AName.sliced(dot + 1);
    if (info->Kind == pkStrings && rest.compare(u"Strings", Qt::CaseInsensitive) == 0)
        return {&AObj, info};
    if (info->Kind == pkObject)
        return Resolve(info->EditObject(AObj), rest);
    return {};
}

// ALastKnown: the table property the line follows, for carried-along lines.
void ApplyProperty(TPersistent &AObj, TPropNode &&AProp, QString &ALastKnown) {
    const QStringView name = AProp.Name;
    const qsizetype dot = name.indexOf(u'.');
    if (const TPropInfo *info = AObj.Properties().Find(dot < 0 ? name : name.first(dot)))
        ALastKnown = info->Name;
    const TTarget target = Resolve(AObj, name);
    if (target.Info)
        ApplyValue(*target.Obj, *target.Info, std::move(AProp.Value));
    else if (AObj.KeepsUnknown())
        AObj.Carried().Put(ALastKnown, std::move(AProp));
}

class TComponentReader {
public:
    explicit TComponentReader(QStringView AText) : FLex(AText) {}

    void ReadRoot(TPersistent &ARoot) {
        FLex.Next();
        ReadHeader();
        ReadBody(&ARoot, 0);
    }

private:
    bool AtObjectKeyword() const {
        return FLex.IsKeyword(u"object") || FLex.IsKeyword(u"inherited") ||
               FLex.IsKeyword(u"inline");
    }

    void Expect(char16_t ASymbol) {
        if (!FLex.IsSymbol(ASymbol))
            FLex.Fail(QStringLiteral("'%1' expected").arg(QChar(ASymbol)));
        FLex.Next();
    }

    QString ExpectIdent() {
        if (FLex.Token().Kind != tkIdent)
            FLex.Fail(QStringLiteral("Identifier expected"));
        QString ident = FLex.Token().Text;
        FLex.Next();
        return ident;
    }

    // "object TSettings", "object Name: TClass", "inherited Name: TClass [2]".
    void ReadHeader() {
        if (!AtObjectKeyword())
            FLex.Fail(QStringLiteral("'object' expected"));
        FLex.Next();
        ExpectIdent();
        if (FLex.IsSymbol(u':')) {
            FLex.Next();
            ExpectIdent();
        }
        if (FLex.IsSymbol(u'[')) {
            FLex.Next();
            if (FLex.Token().Kind != tkInteger)
                FLex.Fail(QStringLiteral("Integer expected"));
            FLex.Next();
            Expect(u']');
        }
    }

    // AObj is null for a child object, which this program never models: its
    // text is checked and passed over.
    void ReadBody(TPersistent *AObj, int ADepth) {
        QString lastKnown;
        while (!FLex.IsKeyword(u"end") && !AtObjectKeyword()) {
            TPropNode prop = ReadProperty(ADepth);
            if (AObj)
                ApplyProperty(*AObj, std::move(prop), lastKnown);
        }
        while (!FLex.IsKeyword(u"end")) {
            if (!AtObjectKeyword())
                FLex.Fail(QStringLiteral("'end' expected"));
            if (ADepth + 1 > MaxDepth)
                FLex.Fail(QStringLiteral("Nesting too deep"));
            ReadHeader();
            ReadBody(nullptr, ADepth + 1);
        }
        // Nothing after the root's end is looked at, not even the next token.
        if (ADepth > 0)
            FLex.Next();
    }

    TPropNode ReadProperty(int ADepth) {
        TPropNode prop;
        prop.Name = ExpectIdent();
        while (FLex.IsSymbol(u'.')) {
            FLex.Next();
            prop.Name += u'.' + ExpectIdent();
        }
        Expect(u'=');
        prop.Value = ReadValue(ADepth + 1);
        return prop;
    }

    TValueNode ReadValue(int ADepth) {
        if (ADepth > MaxDepth)
            FLex.Fail(QStringLiteral("Nesting too deep"));
        TValueNode value;
        const TToken &token = FLex.Token();
        switch (token.Kind) {
        case tkInteger:
        case tkFloat:
        case tkIdent:
            value.Kind = token.Kind == tkInteger ? vkInteger
                         : token.Kind == tkFloat ? vkFloat
                                                 : vkIdent;
            value.Text = token.Text;
            FLex.Next();
            return value;
        case tkString:
            value.Kind = vkString;
            value.Text = token.Text;
            FLex.Next();
            while (FLex.IsSymbol(u'+')) {
                FLex.Next();
                if (FLex.Token().Kind != tkString)
                    FLex.Fail(QStringLiteral("String expected"));
                value.Text += FLex.Token().Text;
                FLex.Next();
            }
            return value;
        case tkSymbol:
        case tkEof:
            break;
        }
        if (FLex.IsSymbol(u'(')) {
            value.Kind = vkList;
            FLex.Next();
            while (!FLex.IsSymbol(u')'))
                value.Elements.push_back(ReadValue(ADepth + 1));
            FLex.Next();
        } else if (FLex.IsSymbol(u'[')) {
            value.Kind = vkSet;
            FLex.Next();
            if (!FLex.IsSymbol(u']')) {
                for (;;) {
                    TValueNode element;
                    element.Text = ExpectIdent();
                    value.Elements.push_back(std::move(element));
                    if (!FLex.IsSymbol(u','))
                        break;
                    FLex.Next();
                }
            }
            Expect(u']');
        } else if (FLex.IsSymbol(u'{')) {
            value.Kind = vkBinary;
            value.Text = FLex.ReadBinary();
        } else if (FLex.IsSymbol(u'<')) {
            value.Kind = vkCollection;
            FLex.Next();
            while (!FLex.IsSymbol(u'>')) {
                if (!FLex.IsKeyword(u"item"))
                    FLex.Fail(QStringLiteral("'item' expected"));
                FLex.Next();
                std::vector<TPropNode> block;
                while (!FLex.IsKeyword(u"end"))
                    block.push_back(ReadProperty(ADepth + 1));
                FLex.Next();
                value.Items.push_back(std::move(block));
            }
            FLex.Next();
        } else {
            FLex.Fail(QStringLiteral("Invalid property value"));
        }
        return value;
    }

    TComponentLexer FLex;
};

} // namespace

void TextToComponent(QStringView AText, TPersistent &ARoot) {
    TComponentReader(AText).ReadRoot(ARoot);
}
