#include "config/StationText.h"

#include "config/ComponentText.h"
#include "config/ConfigErrors.h"
#include "config/Persistent.h"
#include "config/TextCodec.h"

#include <algorithm>

namespace {

// An object that models nothing: every property of a text is carried along
// by it, in the text's order, and written back as it was read.
class TTextObject : public TPersistent {
public:
    explicit TTextObject(QString AClassName = QString()) : FClassName(std::move(AClassName)) {}

    const TPropTable &Properties() const override {
        static const TPropTable Empty{std::initializer_list<TPropInfo>{}};
        return Empty;
    }
    QString ClassName() const override { return FClassName; }
    bool KeepsUnknown() const override { return true; }

private:
    QString FClassName;
};

bool SameName(const QString &A, const QString &B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool SameValue(const TValueNode &A, const TValueNode &B);

bool SameProps(const std::vector<TPropNode> &A, const std::vector<TPropNode> &B) {
    return std::equal(
        A.begin(), A.end(), B.begin(), B.end(), [](const TPropNode &AProp, const TPropNode &BProp) {
            return SameName(AProp.Name, BProp.Name) && SameValue(AProp.Value, BProp.Value);
        });
}

bool SameValue(const TValueNode &A, const TValueNode &B) {
    if (A.Kind != B.Kind)
        return false;
    const bool sameText = A.Kind == vkIdent ? SameName(A.Text, B.Text) : A.Text == B.Text;
    return sameText &&
           std::equal(A.Elements.begin(), A.Elements.end(), B.Elements.begin(), B.Elements.end(),
                      SameValue) &&
           std::equal(A.Items.begin(), A.Items.end(), B.Items.begin(), B.Items.end(), SameProps);
}

TTextProps::const_iterator FindProp(const TTextProps &AProps, const QString &AName) {
    return std::find_if(AProps.begin(), AProps.end(),
                        [&](const TPropNode &AProp) { return SameName(AProp.Name, AName); });
}

TTextProps::iterator FindProp(TTextProps &AProps, const QString &AName) {
    return std::find_if(AProps.begin(), AProps.end(),
                        [&](const TPropNode &AProp) { return SameName(AProp.Name, AName); });
}

} // namespace

std::optional<TTextProps> ParseTextProps(const QByteArray &AText) {
    TTextObject object;
    try {
        TextToComponent(DecodeText(AText).Text, object);
    } catch (const EConfigError &) {
        return std::nullopt;
    }
    TTextProps props;
    props.reserve(object.Carried().Items().size());
    for (const TCarriedProp &carried : object.Carried().Items())
        props.push_back(carried.Prop);
    return props;
}

QStringList ChangedProps(const TTextProps &ABefore, const TTextProps &ANow) {
    QStringList changed;
    for (const TPropNode &prop : ANow) {
        const auto before = FindProp(ABefore, prop.Name);
        if (before == ABefore.end() || !SameValue(before->Value, prop.Value))
            changed.append(prop.Name);
    }
    for (const TPropNode &prop : ABefore)
        if (FindProp(ANow, prop.Name) == ANow.end())
            changed.append(prop.Name);
    return changed;
}

TTextProps MergeProps(TTextProps ABase, const TTextProps &AOurs, const QStringList &AChanged) {
    for (const QString &name : AChanged) {
        const auto ours = FindProp(AOurs, name);
        const auto base = FindProp(ABase, name);
        if (ours == AOurs.end()) {
            if (base != ABase.end())
                ABase.erase(base);
        } else if (base != ABase.end()) {
            base->Value = ours->Value;
        } else {
            auto at = ABase.begin();
            for (auto before = ours; before != AOurs.begin();) {
                --before;
                const auto found = FindProp(ABase, before->Name);
                if (found != ABase.end()) {
                    at = found + 1;
                    break;
                }
            }
            ABase.insert(at, *ours);
        }
    }
    return ABase;
}

QByteArray TextOfProps(const QString &AClassName, const TTextProps &AProps) {
    TTextObject object(AClassName);
    for (const TPropNode &prop : AProps)
        object.Carried().Put(QString(), TPropNode(prop));
    return ComponentToText(object);
}
