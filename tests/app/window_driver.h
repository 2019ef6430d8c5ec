#pragma once
// Drives the real window offscreen as a user would: a started FTravix with a file dialog that
// answers from a script, a message sink that records, an exit hook that records instead of ending
// the test, and a count of the refreshes. Project files are copies of the checked-in ones or
// of real Access files.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FTravix.h"
#include "app/file_dialog.h"
#include "app_test_support.h"
#include "tests/support/project_file.h"
#include "tests/support/temp_dir.h"

namespace travix_test {

// Answers each Choose with the next scripted answer (nullopt: the user cancels).
class FakeFileDialog : public app::FileDialog {
  public:
    std::optional<QString> Choose(const app::FileDialogRequest& request, QWidget* parent) override;
    std::deque<std::optional<QString>> answers;
    std::function<void()> whileShown;  // runs as if the dialog were on screen
    std::vector<app::FileDialogRequest> requests;
    QWidget* parent = nullptr;
};

// A copy of project.kxs (languages 1031 released, 1033, 1036), or of its protected twin, at `file`
// with the given stored levels (index 0..7, -1 for never written).
void BuildProjectFile(const std::filesystem::path& file, bool standardPassword,
                      const std::vector<int>& levels = {});
// A writable copy of a real file from the shared corpus ("jet4/testV2003.mdb") at `target`.
void CopyJetFile(const std::string& relative, const std::filesystem::path& target);
// The stored ExternalAuthorizationLevel of every component read through ProjectSettings; "" for
// one never written.
std::vector<std::string> StoredLevels(const std::filesystem::path& file, bool standardPassword);
std::string FileBytes(const std::filesystem::path& file);

class WindowDriver : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    template <typename T = QWidget>
    T* Find(const char* name) const {
        auto* widget = window_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Source() const { return Find<QLineEdit>("txtSource"); }
    QLineEdit* Destination() const { return Find<QLineEdit>("txtDestination"); }

    // Clicks into a path box and replaces its text by typing; the focus stays there.
    void TypePath(QLineEdit* box, const QString& text);
    // Moves the focus out of the path box that has it by clicking the other one.
    void LeaveBox();
    void Click(const char* name);
    // Picks the entry with item data `level` in level list i, as the drop-down does.
    void ChooseLevel(std::size_t i, int level);
    void MarkLanguage(int row, bool released);

    std::vector<int> SelectedLevels() const;  // item data of each selection, -1 for none
    QStringList LanguageEntries() const;      // each entry as "text:lcid:mark"
    // The own enabled setting of each control the refresh enables, in its order; All(x) is the
    // same list with every entry x.
    std::vector<bool> EnabledStates() const;
    static std::vector<bool> All(bool enabled);
    bool PasswordSetChosen() const;

    static QString Text(const std::filesystem::path& file) {
        return QString::fromStdString(file.string());
    }

    fixture::TempDir dir_;
    ScratchRegistry registry_;
    RecordingMessageSink messages_;
    FakeFileDialog dialog_;
    app::WindowServices services_;
    std::vector<int> exits_;
    int refreshes_ = 0;
    QStringList validated_;  // the boxes whose validation ran
    std::unique_ptr<app::FTravix> window_;
};

}  // namespace travix_test
