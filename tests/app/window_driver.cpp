#include "window_driver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <set>

#include "app/startup.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/project_file.h"

namespace travix_test {
namespace fs = std::filesystem;
namespace {

// One QApplication for the test process, offscreen unless the caller chose a platform, with a home
// of its own so that nothing a test does can reach the user's configuration.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        home_.emplace();
        registry_.emplace();
        const fs::path& home = home_->path();
        setenv("TRAVIX_REGISTRY_DIR", registry_->path().c_str(), 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        application_.reset();
        home_.reset();
        registry_.reset();
    }
    std::optional<fixture::TempDir> home_, registry_;

  private:
    int argc_ = 1;
    char name_[16] = "travix_app_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

auto* const kQtEnvironment = static_cast<QtApplicationEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment));

}  // namespace

QStringList FilesInTestHome() {
    QStringList files;
    for (const auto& entry : fs::recursive_directory_iterator(kQtEnvironment->home_->path()))
        files << QString::fromStdString(entry.path().string());
    return files;
}

void WriteHive(const std::string& hive) {
    std::ofstream(kQtEnvironment->registry_->path() / "HKEY_LOCAL_MACHINE.ini") << hive;
}

void WriteLcid(const char* lcid) {
    WriteHive(std::string("[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=") + lcid);
}

std::optional<QString> FakeFileDialog::Choose(const app::FileDialogRequest& request, QWidget*) {
    // Whatever the box holds, the dialog starts in the program's folder.
    EXPECT_EQ(request.fileName, QCoreApplication::applicationDirPath() + "\\*.kxs");
    EXPECT_EQ(request.filter, QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"));
    saves.push_back(request.save);
    if (whileShown) whileShown();
    if (answers.empty()) {
        ADD_FAILURE() << "the file dialog was shown once more than the test expected";
        return std::nullopt;
    }
    const std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
}

void BuildProjectFile(const fs::path& file, bool standardPassword, const std::vector<int>& levels) {
    fixture::CopyProjectFile(standardPassword ? "project-protected.kxs" : "project.kxs", file);
    // Written the way the program writes them, through ProjectSettings.
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(logic_test::ConnectionText(file, standardPassword));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] < 0) continue;
        settings.SetProperty(handle, projectdb::ComponentKeys()[i],
                             projectdb::kExternalAuthorizationLevel, levels[i]);
    }
    settings.CloseProject(handle);
}

void WithAnotherWindowActive() {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
}

void WindowDriver::SetUp() {
    WriteLcid(lcid_);
    app::WindowServices services;
    services.messages = &messages_;
    services.exitProgram = [this](int status) { exits_.push_back(status); };
    services.fileDialog = &dialog_;
    window_ = app::StartTravix(services);
    ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
    QObject::connect(window_.get(), &app::FTravix::formStateRefreshed, [this] { ++refreshes_; });
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
}

void WindowDriver::TypePath(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), box);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void WindowDriver::LeaveBox() {
    QWidget* from = QApplication::focusWidget();
    ASSERT_TRUE(from == Source() || from == Destination());
    QTest::mouseClick(from == Source() ? Destination() : Source(), Qt::LeftButton);
}

void WindowDriver::Click(const char* name) {
    QTest::mouseClick(Find(name), Qt::LeftButton);
}

void WindowDriver::ChooseLevel(std::size_t i, int level) {
    QComboBox* list = window_->cmbEditorComponent(i);
    const int row = list->findData(level);
    ASSERT_GE(row, 0) << "level " << level << " in list " << i;
    list->setFocus(Qt::MouseFocusReason);
    list->showPopup();
    list->view()->setCurrentIndex(list->model()->index(row, 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
    ASSERT_EQ(list->currentIndex(), row);
}

void WindowDriver::PressOK() {
    ASSERT_TRUE(Find("cmdOK")->isEnabled());
    Click("cmdOK");
}

std::vector<int> WindowDriver::SelectedLevels() const {
    std::vector<int> levels;
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        QComboBox* list = window_->cmbEditorComponent(i);
        levels.push_back(list->currentIndex() < 0 ? -1 : list->currentData().toInt());
    }
    return levels;
}

QStringList WindowDriver::LanguageEntries() const {
    QStringList entries;
    auto* list = Find<QListWidget>("lstLockLanguages");
    for (int row = 0; row < list->count(); ++row) {
        entries << QStringLiteral("%1:%2")
                       .arg(list->item(row)->data(Qt::UserRole).toInt())
                       .arg(list->item(row)->checkState() == Qt::Checked);
    }
    return entries;
}

std::optional<bool> WindowDriver::Unlocked() const {
    const QList<QWidget*> controls = window_->findChildren<QWidget*>(QRegularExpression(
        "^((cmb|lbl)EditorComponent_\\d|lblEditorComponentLanguage|cmdOK|fraPassword|"
        "fraEditorComponent|OptPasswordClear|optPasswordSet)$"));
    EXPECT_EQ(controls.size(), 22);
    // The control's own setting: the refresh sets each one, not only their containers.
    std::set<bool> states;
    for (QWidget* control : controls) states.insert(!control->testAttribute(Qt::WA_ForceDisabled));
    return states.size() == 1 ? std::optional(*states.begin()) : std::nullopt;
}

}  // namespace travix_test
