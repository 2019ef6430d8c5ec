#pragma once
// Drives the real window offscreen as a user would. The test process runs one QApplication in a
// home and configuration folder of its own that start empty, and reads the registry from a
// throw-away folder. WindowDriver starts FTravix with a file dialog that answers from a script, a
// message sink and an exit hook that record, and counts the refreshes. Project files are copies of
// the checked-in ones or of real Access files.
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
#include "app/message_sink.h"
#include "tests/support/temp_dir.h"

namespace travix_test {

// Every file and folder below the test home (HOME; XDG_CONFIG_HOME is its ".config").
QStringList FilesInTestHome();

// Replaces the registry file the window reads (TRAVIX_REGISTRY_DIR, one per process) by `hive`.
void WriteHive(const std::string& hive);
// A registry that holds nothing but the UI language.
void WriteLcid(const char* lcid);

struct RecordingMessageSink : app::MessageSink {
    void ShowError(const QString& text) override { errors.push_back(text); }
    void ShowMessage(const QString& text) override {
        messages.push_back(text);
        if (whileShown) whileShown();
    }
    QStringList errors;
    QStringList messages;
    std::function<void()> whileShown;  // runs as if the message box were on screen
};

// Answers each Choose with the next scripted answer (nullopt: the user cancels).
struct FakeFileDialog : app::FileDialog {
    std::optional<QString> Choose(const app::FileDialogRequest& request, QWidget*) override;
    std::deque<std::optional<QString>> answers;
    std::function<void()> whileShown;  // runs as if the dialog were on screen
    std::vector<bool> saves;           // of each request, whose folder and filter Choose checks
};

// A copy of project.kxs (languages 1031 released, 1033, 1036), or of its protected twin, at `file`
// with the given stored levels (index 0..7, -1 for never written).
void BuildProjectFile(const std::filesystem::path& file, bool standardPassword,
                      const std::vector<int>& levels = {});
// Gives another top-level window the activation, as a real dialog or message box does.
void WithAnotherWindowActive();

class WindowDriver : public ::testing::Test {
  protected:
    void SetUp() override;

    template <typename T = QWidget>
    T* Find(const char* name) const {
        auto* widget = window_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Source() const { return Find<QLineEdit>("txtSource"); }
    QLineEdit* Destination() const { return Find<QLineEdit>("txtDestination"); }
    std::filesystem::path Path(const char* name) const { return dir_.path() / name; }
    static QString Text(const std::filesystem::path& file) {
        return QString::fromStdString(file.string());
    }

    // Clicks into a path box and replaces its text by typing; the focus stays there.
    void TypePath(QLineEdit* box, const QString& text);
    // Moves the focus out of the path box that has it by clicking the other one.
    void LeaveBox();
    void Click(const char* name);
    // Picks the entry with item data `level` in level list i from its drop-down.
    void ChooseLevel(std::size_t i, int level);
    void PressOK();

    std::vector<int> SelectedLevels() const;  // item data of each selection, -1 for none
    QStringList LanguageEntries() const;      // each entry as "lcid:mark"
    // Whether the refresh left the options and OK unlocked: true or false when every control it
    // sets agrees, nullopt when they differ.
    std::optional<bool> Unlocked() const;

    const char* lcid_ = "1031";  // the UI language, set before SetUp
    fixture::TempDir dir_;
    RecordingMessageSink messages_;
    FakeFileDialog dialog_;
    std::vector<int> exits_;
    int refreshes_ = 0;
    std::unique_ptr<app::FTravix> window_;
};

}  // namespace travix_test
