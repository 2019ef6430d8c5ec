#pragma once
// The window's lists seen through projectdb::ListControl, so that the level and language logic
// below the window works on the real combo boxes and the language list without knowing Qt.
// The adapters do not own their widget; the widget must outlive them.
#include "projectdb/level_list.h"

class QComboBox;
class QListWidget;

namespace app {

// A level list: entries with item data and one selection. Combo boxes carry no marks; asking for
// one answers false, setting one is ignored (both after the index check). Text the user types into
// the edit field is never a selection, even when it spells an entry: the adapter turns off Qt's
// completion and its matching of the typed text when the field loses the focus, and a list counts
// as without selection from the first typed character until an entry is chosen again.
class ComboBoxList final : public projectdb::ListControl {
  public:
    explicit ComboBoxList(QComboBox* combo);

    int count() const override;
    std::string text(int i) const override;
    std::int32_t itemData(int i) const override;
    bool checked(int i) const override;
    void setChecked(int i, bool value) override;
    // An edit field whose text no longer is the selected entry's text means no entry is chosen:
    // the user typed something that is not a level.
    int selectedIndex() const override;
    void setSelectedIndex(int i) override;
    void clear() override;
    void addItem(const std::string& text, std::int32_t data) override;

  private:
    void checkIndex(int i) const;
    QComboBox* combo_;
};

// The language list: entries with a check box each, item data in Qt::UserRole.
class CheckedListWidgetList final : public projectdb::ListControl {
  public:
    explicit CheckedListWidgetList(QListWidget* list) : list_(list) {}

    int count() const override;
    std::string text(int i) const override;
    std::int32_t itemData(int i) const override;
    bool checked(int i) const override;
    void setChecked(int i, bool value) override;
    int selectedIndex() const override;
    void setSelectedIndex(int i) override;
    void clear() override;
    void addItem(const std::string& text, std::int32_t data) override;

  private:
    void checkIndex(int i) const;
    QListWidget* list_;
};

}  // namespace app
