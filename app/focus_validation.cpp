#include "app/focus_validation.h"

#include <QApplication>

namespace app {

bool CausesValidation(const QWidget* widget) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const QVariant value = w->property(kCausesValidationProperty);
        if (value.isValid() && !value.toBool()) return false;
        if (w->isWindow()) break;
    }
    return true;
}

FocusValidation::FocusValidation(QWidget* window) : QObject(window), window_(window) {
    connect(qApp, &QApplication::focusChanged, this, &FocusValidation::onFocusChanged);
}

void FocusValidation::Watch(QWidget* box, Handler handler) {
    watched_.push_back({box, std::move(handler)});
}

void FocusValidation::onFocusChanged(QWidget* old, QWidget* now) {
    // Focus that goes to another window (a dialog, another program) or nowhere validates nothing.
    if (old == nullptr || now == nullptr || now->window() != window_) return;
    if (!CausesValidation(now)) return;
    for (const Watched& watched : watched_) {
        if (watched.box != old) continue;
        bool cancel = false;
        watched.handler(cancel);
        if (cancel && watched.box) watched.box->setFocus(Qt::OtherFocusReason);
        return;
    }
}

}  // namespace app
