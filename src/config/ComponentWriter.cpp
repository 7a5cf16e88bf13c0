// Writing the component text format.

#include "config/ComponentText.h"
#include "config/FloatText.h"
#include "config/Persistent.h"

#include <QHash>
#include <cmath>
#include <vector>

namespace {

// Characters of a string per line before it is cut with " +".
constexpr qsizetype LineLength = 64;
// Hexadecimal digits of binary data per line.
constexpr qsizetype BinaryLineLength = 64;

class TComponentWriter {
public:
    QByteArray Write(const TPersistent &ARoot) {
        FOut.reserve(4096);
        Put("object ");
        PutAscii(ARoot.ClassName());
        WriteProperties(ARoot, 1);
        NewLine(0);
        Put("end\r\n");
        return std::move(FOut);
    }

private:
    void Put(const char *AText) { FOut.append(AText); }
    // Names and number texts are ASCII by construction.
    void PutAscii(const QString &AText) { FOut.append(AText.toLatin1()); }

    void NewLine(int ALevel) {
        FOut.append("\r\n");
        FOut.append(qsizetype(2) * ALevel, ' ');
    }

    void BeginProperty(const QString &AName, int ALevel) {
        NewLine(ALevel);
        PutAscii(AName);
        Put(" = ");
    }

    // Table properties in order; carried-along ones after the table property
    // they followed in the file, those that followed none first.
    void WriteProperties(const TPersistent &AObj, int ALevel) {
        const TPropTable &table = AObj.Properties();
        std::vector<const TPropNode *> first;
        std::vector<const TPropNode *> last;
        QHash<const TPropInfo *, std::vector<const TPropNode *>> following;
        for (const TCarriedProp &carried : AObj.Carried().Items()) {
            if (carried.After.isEmpty())
                first.push_back(&carried.Prop);
            else if (const TPropInfo *info = table.Find(carried.After))
                following[info].push_back(&carried.Prop);
            else
                last.push_back(&carried.Prop);
        }
        for (const TPropNode *prop : first)
            WriteCarried(*prop, ALevel);
        for (const TPropInfo &info : table) {
            WriteTableProperty(AObj, info, ALevel, QString());
            const auto found = following.constFind(&info);
            if (found != following.constEnd())
                for (const TPropNode *prop : *found)
                    WriteCarried(*prop, ALevel);
        }
        for (const TPropNode *prop : last)
            WriteCarried(*prop, ALevel);
    }

    void WriteTableProperty(const TPersistent &AObj, const TPropInfo &AInfo, int ALevel,
                            const QString &APrefix) {
        const QString name = APrefix + AInfo.Name;
        switch (AInfo.Kind) {
        case pkInteger:
        case pkCardinal:
        case pkBoolean:
        case pkEnum: {
            const qint64 value = AInfo.GetOrd(AObj);
            if (AInfo.Default && value == *AInfo.Default)
                return;
            if (AInfo.Kind == pkEnum) {
                // A value without an identifier has no text that reads back.
                if (!AInfo.Enum || value < 0 || value >= qint64(AInfo.Enum->Names.size()))
                    return;
                BeginProperty(name, ALevel);
                PutAscii(AInfo.Enum->Names[static_cast<size_t>(value)]);
            } else {
                BeginProperty(name, ALevel);
                if (AInfo.Kind == pkBoolean)
                    Put(value != 0 ? "True" : "False");
                else
                    FOut.append(QByteArray::number(value));
            }
            return;
        }
        case pkString: {
            const QString value = AInfo.GetStr(AObj);
            if (value.isEmpty())
                return;
            BeginProperty(name, ALevel);
            WriteString(value, ALevel + 1, false);
            return;
        }
        case pkDouble:
        case pkSingle: {
            const double value = AInfo.GetFloat(AObj);
            // Not-a-number and infinities have no text that reads back.
            if (value == 0 || !std::isfinite(value))
                return;
            BeginProperty(name, ALevel);
            if (AInfo.Kind == pkDouble) {
                PutAscii(FormatFloatFixed18(value));
            } else {
                PutAscii(FormatFloatGeneral(value, 15));
                Put("s");
            }
            return;
        }
        case pkCollection:
            BeginProperty(name, ALevel);
            WriteCollection(AInfo.GetCollection(AObj), ALevel);
            return;
        case pkStrings: {
            const QStringList &lines = AInfo.GetStrings(AObj);
            if (lines.isEmpty())
                return;
            BeginProperty(name + QStringLiteral(".Strings"), ALevel);
            Put("(");
            for (const QString &line : lines) {
                NewLine(ALevel + 1);
                WriteString(line, ALevel + 1, true);
            }
            Put(")");
            return;
        }
        case pkObject: {
            const TPersistent &sub = AInfo.GetObject(AObj);
            for (const TPropInfo &subInfo : sub.Properties())
                WriteTableProperty(sub, subInfo, ALevel, name + u'.');
            return;
        }
        }
    }

    void WriteCollection(const TCollection &ACollection, int ALevel) {
        Put("<");
        for (int i = 0; i < ACollection.Count(); ++i) {
            NewLine(ALevel + 1);
            Put("item");
            WriteProperties(ACollection.Item(i), ALevel + 2);
            NewLine(ALevel + 1);
            Put("end");
        }
        Put(">");
    }

    void WriteCarried(const TPropNode &AProp, int ALevel) {
        BeginProperty(AProp.Name, ALevel);
        WriteNode(AProp.Value, ALevel, false);
    }

    // AValue belongs to a line at ALevel; AOnOwnLine when it already starts a
    // line of its own (an element of a list).
    void WriteNode(const TValueNode &AValue, int ALevel, bool AOnOwnLine) {
        switch (AValue.Kind) {
        case vkInteger:
        case vkFloat:
        case vkIdent:
            PutAscii(AValue.Text);
            return;
        case vkString:
            WriteString(AValue.Text, AOnOwnLine ? ALevel : ALevel + 1, AOnOwnLine);
            return;
        case vkList:
            Put("(");
            for (const TValueNode &element : AValue.Elements) {
                NewLine(ALevel + 1);
                WriteNode(element, ALevel + 1, true);
            }
            Put(")");
            return;
        case vkSet:
            Put("[");
            for (size_t i = 0; i < AValue.Elements.size(); ++i) {
                if (i > 0)
                    Put(", ");
                PutAscii(AValue.Elements[i].Text);
            }
            Put("]");
            return;
        case vkBinary:
            Put("{");
            for (qsizetype start = 0; start < AValue.Text.size(); start += BinaryLineLength) {
                NewLine(ALevel + 1);
                PutAscii(AValue.Text.mid(start, BinaryLineLength));
            }
            Put("}");
            return;
        case vkCollection:
            Put("<");
            for (const std::vector<TPropNode> &block : AValue.Items) {
                NewLine(ALevel + 1);
                Put("item");
                for (const TPropNode &prop : block)
                    WriteCarried(prop, ALevel + 2);
                NewLine(ALevel + 1);
                Put("end");
            }
            Put(">");
            return;
        }
    }

    // Quoted runs of printable ASCII other than the quote, every other
    // character as #code. A string longer than one line starts on a line of
    // its own at ALevel and is cut every 64 characters with " +".
    void WriteString(const QString &AText, int ALevel, bool AOnOwnLine) {
        if (AText.isEmpty()) {
            Put("''");
            return;
        }
        if (AText.size() > LineLength && !AOnOwnLine)
            NewLine(ALevel);
        for (qsizetype start = 0; start < AText.size(); start += LineLength) {
            if (start > 0) {
                Put(" +");
                NewLine(ALevel);
            }
            const qsizetype end = std::min(AText.size(), start + LineLength);
            bool quoted = false;
            for (qsizetype i = start; i < end; ++i) {
                const char16_t c = AText[i].unicode();
                const bool plain = c >= 32 && c <= 126 && c != u'\'';
                if (plain != quoted) {
                    FOut.append('\'');
                    quoted = plain;
                }
                if (plain) {
                    FOut.append(static_cast<char>(c));
                } else {
                    FOut.append('#');
                    FOut.append(QByteArray::number(c));
                }
            }
            if (quoted)
                FOut.append('\'');
        }
    }

    QByteArray FOut;
};

} // namespace

QByteArray ComponentToText(const TPersistent &ARoot) {
    return TComponentWriter().Write(ARoot);
}
