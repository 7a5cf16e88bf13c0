#include "dspwindows/WindowAccessible.h"

#include "dspwindows/DSPEditorBase.h"
#include "dspwindows/VSTParamForm.h"

#include <QAccessibleWidget>

namespace {

QAccessibleInterface *ChainWindowFactory(const QString & /*AClassName*/, QObject *AObject) {
    auto *widget = qobject_cast<QWidget *>(AObject);
    if (widget == nullptr || !widget->isWindow())
        return nullptr;
    if (qobject_cast<TIntDSPEditorFrm *>(widget) == nullptr &&
        qobject_cast<TFrmVSTParam *>(widget) == nullptr)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void InstallChainWindowAccessible() {
    static const bool Installed = [] {
        QAccessible::installFactory(ChainWindowFactory);
        return true;
    }();
    Q_UNUSED(Installed);
}
