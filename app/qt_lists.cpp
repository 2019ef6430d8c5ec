#include "app/qt_lists.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "platform/runtime_error.h"

namespace app {
namespace {

// Set on the combo box while its edit field holds what the user typed rather than a chosen entry.
constexpr char kTypedProperty[] = "travixTyped";

bool Typed(const QComboBox* combo) {
    return combo->property(kTypedProperty).toBool();
}

}  // namespace

ComboBoxList::ComboBoxList(QComboBox* combo) : combo_(combo) {
    QLineEdit* field = combo->lineEdit();
    if (field == nullptr) return;
    combo->setCompleter(nullptr);
    // Qt selects the entry whose text the field holds when editing finishes; typed text must stay
    // typed text.
    QObject::disconnect(field, &QLineEdit::editingFinished, combo, nullptr);
    QObject::connect(field, &QLineEdit::textEdited, combo,
                     [combo] { combo->setProperty(kTypedProperty, true); });
    // Activation is the user choosing an entry: from the drop-down, by arrow keys or the wheel.
    QObject::connect(combo, &QComboBox::activated, combo,
                     [combo] { combo->setProperty(kTypedProperty, false); });
}

int ComboBoxList::count() const {
    return combo_->count();
}

void ComboBoxList::checkIndex(int i) const {
    if (i < 0 || i >= combo_->count()) throw platform::invalidPropertyArrayIndex();
}

std::string ComboBoxList::text(int i) const {
    checkIndex(i);
    return combo_->itemText(i).toStdString();
}

std::int32_t ComboBoxList::itemData(int i) const {
    checkIndex(i);
    return combo_->itemData(i).toInt();
}

bool ComboBoxList::checked(int i) const {
    checkIndex(i);
    return false;
}

void ComboBoxList::setChecked(int i, bool /*value*/) {
    checkIndex(i);
}

int ComboBoxList::selectedIndex() const {
    const int index = combo_->currentIndex();
    if (index < 0 || Typed(combo_)) return -1;
    if (combo_->isEditable() && combo_->currentText() != combo_->itemText(index)) return -1;
    return index;
}

void ComboBoxList::setSelectedIndex(int i) {
    if (i < -1 || i >= combo_->count()) throw platform::invalidPropertyValue();
    combo_->setCurrentIndex(i);
    combo_->setProperty(kTypedProperty, false);
    // Qt keeps a typed text when the index does not change; the field must show the entry.
    combo_->setEditText(i < 0 ? QString() : combo_->itemText(i));
}

void ComboBoxList::clear() {
    combo_->clear();
    combo_->setProperty(kTypedProperty, false);
}

void ComboBoxList::addItem(const std::string& text, std::int32_t data) {
    const int before = combo_->currentIndex();
    combo_->addItem(QString::fromStdString(text), data);
    // Qt selects the first entry added to an empty box; the interface keeps the selection.
    if (before < 0 && combo_->currentIndex() >= 0) combo_->setCurrentIndex(-1);
}

int CheckedListWidgetList::count() const {
    return list_->count();
}

void CheckedListWidgetList::checkIndex(int i) const {
    if (i < 0 || i >= list_->count()) throw platform::invalidPropertyArrayIndex();
}

std::string CheckedListWidgetList::text(int i) const {
    checkIndex(i);
    return list_->item(i)->text().toStdString();
}

std::int32_t CheckedListWidgetList::itemData(int i) const {
    checkIndex(i);
    return list_->item(i)->data(Qt::UserRole).toInt();
}

bool CheckedListWidgetList::checked(int i) const {
    checkIndex(i);
    return list_->item(i)->checkState() == Qt::Checked;
}

void CheckedListWidgetList::setChecked(int i, bool value) {
    checkIndex(i);
    list_->item(i)->setCheckState(value ? Qt::Checked : Qt::Unchecked);
}

int CheckedListWidgetList::selectedIndex() const {
    return list_->currentRow();
}

void CheckedListWidgetList::setSelectedIndex(int i) {
    if (i < -1 || i >= list_->count()) throw platform::invalidPropertyValue();
    list_->setCurrentRow(i);
}

void CheckedListWidgetList::clear() {
    list_->clear();
}

void CheckedListWidgetList::addItem(const std::string& text, std::int32_t data) {
    const int before = list_->currentRow();
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    item->setData(Qt::UserRole, data);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    list_->addItem(item);  // the list takes ownership
    if (list_->currentRow() != before) list_->setCurrentRow(before);
}

}  // namespace app
