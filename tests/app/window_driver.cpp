#include "window_driver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <set>

#include "app/startup.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"
#include "tests/support/project_file.h"

namespace travix_test {
namespace fs = std::filesystem;
namespace {

// One QApplication for the test process, offscreen unless the caller chose a platform, with a home
// of its own so that nothing a test does can reach the user's configuration. A death test's child
// process finds the home of its parent in TRAVIX_TEST_HOME and uses it too.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (const char* inherited = std::getenv("TRAVIX_TEST_HOME")) {
            home = inherited;
        } else {
            std::string pattern = (fs::temp_directory_path() / "travix-home-XXXXXX").string();
            ASSERT_NE(mkdtemp(pattern.data()), nullptr);
            home = pattern;
            owner_ = true;
            setenv("TRAVIX_TEST_HOME", home.c_str(), 1);
        }
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        application_.reset();
        std::error_code ignored;
        if (owner_) fs::remove_all(home, ignored);
    }
    fs::path home;

  private:
    bool owner_ = false;
    int argc_ = 1;
    char name_[16] = "travix_app_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

auto* const kQtEnvironment = static_cast<QtApplicationEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment));

std::string OpenName(const fs::path& file, bool standardPassword) {
    return file.string() + (standardPassword ? "|" + projectdb::GetStandardPassword() : "");
}

}  // namespace

QStringList FilesInTestHome() {
    QStringList files;
    for (const auto& entry : fs::recursive_directory_iterator(kQtEnvironment->home)) {
        files << QString::fromStdString(entry.path().string());
    }
    return files;
}

ScratchRegistry::ScratchRegistry(const char* lcid) {
    setenv("TRAVIX_REGISTRY_DIR", dir.path().c_str(), 1);
    if (lcid != nullptr)
        WriteHive("[SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0]\nLCID=" + std::string(lcid));
}

void ScratchRegistry::WriteHive(const std::string& content) const {
    std::ofstream(HiveFile()) << content;
}

ScratchRegistry::~ScratchRegistry() {
    unsetenv("TRAVIX_REGISTRY_DIR");
}

std::optional<QString> FakeFileDialog::Choose(const app::FileDialogRequest& request, QWidget*) {
    requests.push_back(request);
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
    const auto handle = settings.OpenProject(OpenName(file, standardPassword));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] < 0) continue;
        settings.SetProperty(handle, projectdb::ComponentKeys()[i],
                             projectdb::kExternalAuthorizationLevel, levels[i]);
    }
    settings.CloseProject(handle);
}

void CopyJetFile(const std::string& relative, const fs::path& target) {
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / relative, target,
                  fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<std::string> StoredLevels(const fs::path& file) {
    const auto properties = fixture::MdbProperties(file, "UserDefined");
    std::vector<std::string> levels;
    for (const std::string& key : projectdb::ComponentKeys()) {
        const auto& blob = properties && properties->count("")
                               ? properties->at("")
                               : fixture::PropertyBlocks::mapped_type{};
        const auto found = blob.find(key + "." + projectdb::kExternalAuthorizationLevel);
        levels.push_back(found == blob.end() ? "" : found->second);
    }
    return levels;
}

void WithAnotherWindowActive() {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
}

void WindowDriver::SetUp() {
    app::WindowServices services;
    services.messages = &messages_;
    services.exitProgram = [this](int status) { exits_.push_back(status); };
    services.fileDialog = &dialog_;
    window_ = app::StartTravix(services);
    ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
    QObject::connect(window_.get(), &app::FTravix::formStateRefreshed, [this] { ++refreshes_; });
    QObject::connect(window_.get(), &app::FTravix::pathValidated,
                     [this](QWidget* box) { validated_ << box->objectName(); });
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
}

void WindowDriver::TearDown() {
    EXPECT_TRUE(dialog_.answers.empty()) << "the test scripted a dialog answer nobody asked for";
    window_.reset();
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

bool WindowDriver::PasswordSetChosen() const {
    return Find<QRadioButton>("optPasswordSet")->isChecked();
}

}  // namespace travix_test
