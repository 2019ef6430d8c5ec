#include "app/qt_lists.h"

#include <QComboBox>
#include <QListWidget>

#include "platform/runtime_error.h"

namespace app {

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
    if (index < 0) return -1;
    if (combo_->isEditable() && combo_->currentText() != combo_->itemText(index)) return -1;
    return index;
}

void ComboBoxList::setSelectedIndex(int i) {
    if (i < -1 || i >= combo_->count()) throw platform::invalidPropertyValue();
    combo_->setCurrentIndex(i);
    // Qt keeps a typed text when the index does not change; the field must show the entry.
    combo_->setEditText(i < 0 ? QString() : combo_->itemText(i));
}

void ComboBoxList::clear() {
    combo_->clear();
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
