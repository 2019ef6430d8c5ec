#include "app/focus_validation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>

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
    qApp->installEventFilter(this);
}

void FocusValidation::Watch(QWidget* box, Handler handler) {
    watched_.push_back({box, std::move(handler)});
}

void FocusValidation::onFocusChanged(QWidget* old, QWidget* now) {
    // Focus that goes to another window (a dialog, another program) or nowhere validates nothing.
    if (old == nullptr || now == nullptr || now->window() != window_) return;
    if (!CausesValidation(now)) return;
    Validate(old);
}

bool FocusValidation::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Shortcut) return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (button == nullptr || button->window() != window_ || !CausesValidation(button)) return false;
    // A cancelled validation keeps the focus in the box and the button unpressed.
    return !Validate(QApplication::focusWidget());
}

bool FocusValidation::Validate(QWidget* box) {
    for (const Watched& watched : watched_) {
        if (watched.box != box || box == nullptr) continue;
        bool cancel = false;
        watched.handler(cancel);
        if (cancel && watched.box) watched.box->setFocus(Qt::OtherFocusReason);
        return !cancel;
    }
    return true;
}

}  // namespace app
