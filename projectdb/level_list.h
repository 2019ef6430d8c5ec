#pragma once
// The small list interface that the project database logic works on: entries with a text and a
// 32-bit item data value, one selected entry (or none), and a check mark per entry. The window
// implements it over its combo boxes and its checked list; the command line and the tests use
// MemoryList. Indices count from 0; -1 as selection means no entry is selected.

#include <cstdint>
#include <string>
#include <vector>

namespace projectdb {

class ListControl {
  public:
    virtual ~ListControl() = default;

    virtual int count() const = 0;
    // Text, item data and mark of entry i; platform::RuntimeError 381 for an index outside
    // 0..count()-1 (-1 included).
    virtual std::string text(int i) const = 0;
    virtual std::int32_t itemData(int i) const = 0;
    virtual bool checked(int i) const = 0;
    virtual void setChecked(int i, bool value) = 0;

    virtual int selectedIndex() const = 0;
    // -1 clears the selection; any other index outside the list is RuntimeError 380.
    virtual void setSelectedIndex(int i) = 0;

    // Removes every entry; the selection becomes -1.
    virtual void clear() = 0;
    // Appends an unmarked entry; the selection does not change.
    virtual void addItem(const std::string& text, std::int32_t data) = 0;
};

class MemoryList final : public ListControl {
  public:
    int count() const override;
    std::string text(int i) const override;
    std::int32_t itemData(int i) const override;
    bool checked(int i) const override;
    void setChecked(int i, bool value) override;
    int selectedIndex() const override { return selected_; }
    void setSelectedIndex(int i) override;
    void clear() override;
    void addItem(const std::string& text, std::int32_t data) override;

  private:
    struct Entry {
        std::string text;
        std::int32_t data = 0;
        bool checked = false;
    };
    const Entry& at(int i) const;

    std::vector<Entry> entries_;
    int selected_ = -1;
};

}  // namespace projectdb
