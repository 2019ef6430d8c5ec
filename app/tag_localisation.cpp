#include "app/tag_localisation.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <exception>
#include <string>

#include "i18n/MResources.h"
#include "i18n/number_reading.h"

namespace app {
namespace {

// Without the Widgets header isWindow() is out of reach, and Qt 6 has no property for the window
// flags; a widget counts as a window when it has no parent, is the form being localised, or is
// of a kind that is always a window of its own.
bool IsWindow(const QObject& object, bool isForm) {
    if (!object.isWidgetType()) return false;
    return isForm || object.parent() == nullptr || object.inherits("QDialog") ||
           object.inherits("QMainWindow");
}

// The property that plays the part of a caption, or nullptr for objects that have none (line
// edits, combo boxes, lists and plain objects keep their text whatever their Tag says).
const char* CaptionProperty(const QObject& object, bool isForm) {
    if (object.inherits("QGroupBox")) return "title";
    if (IsWindow(object, isForm)) return "windowTitle";
    if (object.inherits("QLabel") || object.inherits("QAbstractButton")) return "text";
    return nullptr;
}

void ApplyTag(QObject& object, bool isForm) {
    const QVariant tag = object.property("Tag");
    if (tag.typeId() != QMetaType::QString) return;
    const char* caption = CaptionProperty(object, isForm);
    // Items are separated by a bare comma; blanks belong to the items, so " C101" is no caption.
    for (const QString& item : tag.toString().split(u',')) {
        if (item.isEmpty() || (item.front() != u'C' && item.front() != u'c')) continue;
        const auto id = i18n::RoundToInt32(i18n::ReadLeadingNumber(item.mid(1).toStdString()));
        if (!id) continue;
        const QString text = QString::fromStdString(i18n::GetResourceString(*id));
        if (caption != nullptr) object.setProperty(caption, text);
    }
}

void LocaliseObject(QObject* object, bool isForm) {
    if (object == nullptr) return;
    try {
        ApplyTag(*object, isForm);
    } catch (const std::exception&) {
        // A caption that cannot be set leaves the object as it was; the next object still runs.
    }
}

}  // namespace

void InitObjectFromTag(QObject* object) {
    LocaliseObject(object, false);
}

void InitFormFromTag(QObject* form) {
    if (form == nullptr) return;
    LocaliseObject(form, true);
    // Guarded pointers: should setting a caption delete an object, the walk skips it.
    QList<QPointer<QObject>> objects;
    for (QObject* child : form->findChildren<QObject*>()) objects.append(child);
    for (const QPointer<QObject>& object : objects) {
        if (object) InitObjectFromTag(object.data());
    }
}

}  // namespace app
