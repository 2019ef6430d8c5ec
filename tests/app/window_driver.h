#pragma once
// Drives the real window offscreen as a user would. The test process runs one QApplication in a
// home and configuration folder of its own that start empty, and reads the registry from a
// throw-away folder. WindowDriver starts FTravix with a message sink and an exit hook that record,
// and counts the refreshes. Project files are copies of
// the checked-in ones or of real Access files.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <memory>
#include <set>

#include "app/FTravix.h"
#include "app/startup.h"
#include "projectdb/project_settings.h"
#include "tests/platform/temp_registry.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/project_file.h"
#include "tests/support/temp_dir.h"

namespace travix_test {

// One QApplication for the test process, offscreen unless the caller chose a platform, with a home
// of its own so that nothing a test does can reach the user's configuration.
struct QtEnvironment : ::testing::Environment {
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { application.reset(); }
    fixture::TemporaryHome home;
    TempRegistry registry;
    int argc = 1;
    char name[7] = "travix";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
};
inline auto* const kQt =
    static_cast<QtEnvironment*>(::testing::AddGlobalTestEnvironment(new QtEnvironment));

inline std::string LcidHive(const char* lcid) {
    return std::string("[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=") + lcid + "\n";
}

struct RecordingMessageSink : app::MessageSink {
    void ShowError(const QString& text) override { errors << text; }
    void ShowMessage(const QString& text) override {
        messages << text;
        if (whileShown) whileShown();
    }
    QStringList errors, messages;
    std::function<void()> whileShown;  // runs as if the message box were on screen
};

// A copy of project.kxs (languages 1031 released, 1033, 1036), or of its protected twin, at `file`
// with the given stored levels (index 0..7, -1 for never written), written as the program does.
inline void BuildProjectFile(const std::filesystem::path& file, bool standardPassword,
                             const std::vector<int>& levels = {}) {
    fixture::CopyProjectFile(standardPassword ? "project-protected.kxs" : "project.kxs", file);
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(logic_test::ConnectionText(file, standardPassword));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] >= 0)
            settings.SetProperty(handle, projectdb::ComponentKeys()[i],
                                 projectdb::kExternalAuthorizationLevel, levels[i]);
    }
    settings.CloseProject(handle);
}

// Gives another top-level window the activation, as a real dialog or message box does.
inline void WithAnotherWindowActive() {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
}

class WindowDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        kQt->registry.WriteHive(hive_);
        // Qt's own file dialog: the window's "..." buttons are driven through it.
        app::WindowServices services{&messages_, [this](int status) { exits_.push_back(status); }};
        window_ = app::StartTravix(services);
        ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
        QObject::connect(window_.get(), &app::FTravix::formStateRefreshed,
                         [this] { ++refreshes_; });
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

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
    void TypePath(QLineEdit* box, const QString& text) {
        QTest::mouseClick(box, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), box);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    // Moves the focus out of the path box that has it by clicking the other one.
    void LeaveBox() {
        QWidget* from = QApplication::focusWidget();
        ASSERT_TRUE(from == Source() || from == Destination());
        QTest::mouseClick(from == Source() ? Destination() : Source(), Qt::LeftButton);
    }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
    // Picks the entry with item data `level` in level list i from its drop-down.
    void ChooseLevel(std::size_t i, int level) {
        QComboBox* list = window_->cmbEditorComponent(i);
        list->setFocus(Qt::MouseFocusReason);
        list->showPopup();
        list->view()->setCurrentIndex(list->model()->index(list->findData(level), 0));
        QTest::keyClick(list->view(), Qt::Key_Return);
        ASSERT_EQ(list->currentData(), QVariant(level)) << "list " << i;
    }

    // Item data of each level list's selection, -1 for none.
    std::vector<int> SelectedLevels() const {
        std::vector<int> levels;
        for (std::size_t i = 0; i < app::kComponentCount; ++i) {
            QComboBox* list = window_->cmbEditorComponent(i);
            levels.push_back(list->currentIndex() < 0 ? -1 : list->currentData().toInt());
        }
        return levels;
    }
    // Each language entry as "lcid:mark".
    QStringList LanguageEntries() const {
        QStringList entries;
        auto* list = Find<QListWidget>("lstLockLanguages");
        for (int row = 0; row < list->count(); ++row)
            entries << QStringLiteral("%1:%2")
                           .arg(list->item(row)->data(Qt::UserRole).toInt())
                           .arg(list->item(row)->checkState() == Qt::Checked);
        return entries;
    }
    // Whether the options and OK are unlocked: true or false when every control the refresh sets
    // agrees (each one's own setting, not only its container's), nullopt when they differ.
    std::optional<bool> Unlocked() const {
        const QList<QWidget*> controls = window_->findChildren<QWidget*>(QRegularExpression(
            "^((cmb|lbl)EditorComponent_\\d|lblEditorComponentLanguage|cmdOK|fraPassword|"
            "fraEditorComponent|OptPasswordClear|optPasswordSet)$"));
        EXPECT_EQ(controls.size(), 22);
        std::set<bool> states;
        for (QWidget* control : controls)
            states.insert(!control->testAttribute(Qt::WA_ForceDisabled));
        return states.size() == 1 ? std::optional(*states.begin()) : std::nullopt;
    }

    std::string hive_ = LcidHive("1031");  // the registry, set before SetUp
    fixture::TempDir dir_;
    RecordingMessageSink messages_;
    std::vector<int> exits_;
    int refreshes_ = 0;
    std::unique_ptr<app::FTravix> window_;
};

}  // namespace travix_test
