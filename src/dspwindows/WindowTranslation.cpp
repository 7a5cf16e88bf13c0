#include "dspwindows/WindowTranslation.h"

#include "config/Translatable.h"
#include "config/Translation.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMetaProperty>
#include <QWidget>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class TQtComponent final : public TTranslatable {
public:
    TQtComponent(QObject *AObject, bool AIsRoot) : FObject(AObject), FIsRoot(AIsRoot) {
        if (!AIsRoot)
            return;
        // The window owns every named widget and action placed on it.
        for (QObject *child : AObject->findChildren<QObject *>()) {
            if (child->objectName().isEmpty())
                continue;
            if (qobject_cast<QWidget *>(child) == nullptr &&
                qobject_cast<QAction *>(child) == nullptr)
                continue;
            FOwned.push_back(std::make_unique<TQtComponent>(child, false));
        }
    }

    QString Name() const override { return FObject->objectName(); }

    TComponentKind Kind() const override {
        if (qobject_cast<QAction *>(FObject) != nullptr ||
            qobject_cast<QMenu *>(FObject) != nullptr)
            return ckMenuItem;
        const auto *widget = qobject_cast<QWidget *>(FObject);
        if (widget == nullptr)
            return ckOther;
        return FIsRoot && widget->isWindow() ? ckForm : ckControl;
    }

    bool ReadStringProperty(const QString &AProperty, QString &AValue) const override {
        if (AProperty.compare(u"Caption"_s, Qt::CaseInsensitive) == 0) {
            if (auto *widget = qobject_cast<QWidget *>(FObject); widget != nullptr && FIsRoot) {
                AValue = widget->windowTitle();
                return true;
            }
            if (const auto *button = qobject_cast<QAbstractButton *>(FObject)) {
                AValue = button->text();
                return true;
            }
            if (const auto *label = qobject_cast<QLabel *>(FObject)) {
                AValue = label->text();
                return true;
            }
            if (const auto *group = qobject_cast<QGroupBox *>(FObject)) {
                AValue = group->title();
                return true;
            }
            if (const auto *menu = qobject_cast<QMenu *>(FObject)) {
                AValue = menu->title();
                return true;
            }
            if (const auto *action = qobject_cast<QAction *>(FObject)) {
                AValue = action->text();
                return true;
            }
        }
        const QMetaProperty property = Find(AProperty);
        if (!property.isValid())
            return false;
        AValue = property.read(FObject).toString();
        return true;
    }

    bool WriteStringProperty(const QString &AProperty, const QString &AValue) override {
        if (AProperty.compare(u"Caption"_s, Qt::CaseInsensitive) == 0) {
            if (auto *widget = qobject_cast<QWidget *>(FObject); widget != nullptr && FIsRoot) {
                widget->setWindowTitle(AValue);
                return true;
            }
            if (auto *button = qobject_cast<QAbstractButton *>(FObject)) {
                button->setText(AValue);
                return true;
            }
            if (auto *label = qobject_cast<QLabel *>(FObject)) {
                label->setText(AValue);
                return true;
            }
            if (auto *group = qobject_cast<QGroupBox *>(FObject)) {
                group->setTitle(AValue);
                return true;
            }
            if (auto *menu = qobject_cast<QMenu *>(FObject)) {
                menu->setTitle(AValue);
                return true;
            }
            if (auto *action = qobject_cast<QAction *>(FObject)) {
                action->setText(AValue);
                return true;
            }
        }
        const QMetaProperty property = Find(AProperty);
        if (!property.isValid() || !property.isWritable())
            return false;
        return property.write(FObject, AValue);
    }

    std::vector<TTranslatable *> OwnedComponents() const override {
        std::vector<TTranslatable *> owned;
        for (const auto &component : FOwned)
            owned.push_back(component.get());
        return owned;
    }

private:
    // A string property found without regard to case.
    QMetaProperty Find(const QString &AName) const {
        const QMetaObject *meta = FObject->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            if (QString::fromLatin1(property.name()).compare(AName, Qt::CaseInsensitive) == 0 &&
                property.metaType() == QMetaType::fromType<QString>())
                return property;
        }
        return {};
    }

    QObject *FObject;
    bool FIsRoot;
    std::vector<std::unique_ptr<TQtComponent>> FOwned;
};

} // namespace

void TranslateWindowCaptions(QWidget *AWindow, const QString &ASection) {
    TQtComponent window(AWindow, true);
    TranslateCaptions(window, ASection, false);
}
