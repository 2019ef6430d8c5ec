#include "window_driver.h"

#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "app/startup.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"

namespace travix_test {

namespace fs = std::filesystem;

std::optional<QString> FakeFileDialog::Choose(const app::FileDialogRequest& request,
                                              QWidget* parentWidget) {
    requests.push_back(request);
    parent = parentWidget;
    if (whileShown) whileShown();
    if (answers.empty()) {
        ADD_FAILURE() << "the file dialog was shown once more than the test expected";
        return std::nullopt;
    }
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
}

namespace {

// The controls whose enabled state the refresh sets, in its order.
QStringList EnableList() {
    QStringList names = {"cmdOK", "fraPassword", "fraEditorComponent", "OptPasswordClear",
                         "optPasswordSet"};
    for (int i = 0; i < 8; ++i) {
        names << QStringLiteral("cmbEditorComponent_%1").arg(i)
              << QStringLiteral("lblEditorComponent_%1").arg(i);
    }
    return names << QStringLiteral("lblEditorComponentLanguage");
}

std::string OpenName(const fs::path& file, bool standardPassword) {
    return file.string() + (standardPassword ? "|" + projectdb::GetStandardPassword() : "");
}

}  // namespace

void BuildProjectFile(const fs::path& file, bool standardPassword, const std::vector<int>& levels) {
    fixture::CopyProjectFile(standardPassword ? "project-protected.kxs" : "project.kxs", file);
    if (levels.empty()) return;
    // Written the way the program writes them, through ProjectSettings.
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(OpenName(file, standardPassword));
    for (std::size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] >= 0) {
            settings.SetProperty(handle, projectdb::ComponentKeys()[i],
                                 projectdb::kExternalAuthorizationLevel, levels[i]);
        }
    }
    settings.CloseProject(handle);
}

void CopyJetFile(const std::string& relative, const fs::path& target) {
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / relative, target,
                  fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<std::string> StoredLevels(const fs::path& file, bool standardPassword) {
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(OpenName(file, standardPassword));
    std::vector<std::string> levels;
    for (const std::string& key : projectdb::ComponentKeys()) {
        levels.push_back(
            settings.GetProperty(handle, key, projectdb::kExternalAuthorizationLevel, ""));
    }
    settings.CloseProject(handle);
    return levels;
}

std::string FileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WindowDriver::SetUp() {
    registry_.WriteHive(HiveWithLcid("1031"));
    services_.messages = &messages_;
    services_.exitProgram = [this](int status) { exits_.push_back(status); };
    services_.fileDialog = &dialog_;
    window_ = app::StartTravix(services_);
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
    ASSERT_EQ(box->text(), text);
}

void WindowDriver::LeaveBox() {
    QWidget* from = QApplication::focusWidget();
    ASSERT_TRUE(from == Source() || from == Destination());
    QTest::mouseClick(from == Source() ? Destination() : Source(), Qt::LeftButton);
    ASSERT_NE(QApplication::focusWidget(), from);
}

void WindowDriver::Click(const char* name) {
    QTest::mouseClick(Find(name), Qt::LeftButton);
}

void WindowDriver::ChooseLevel(std::size_t i, int level) {
    QComboBox* list = window_->cmbEditorComponent(i);
    ASSERT_TRUE(list->isEnabled());
    list->setFocus(Qt::MouseFocusReason);  // as the click that opens the drop-down
    ASSERT_GE(list->findData(level), 0) << "level " << level << " in list " << i;
    list->setCurrentIndex(list->findData(level));
}

void WindowDriver::MarkLanguage(int row, bool released) {
    auto* list = Find<QListWidget>("lstLockLanguages");
    list->setFocus(Qt::MouseFocusReason);
    ASSERT_LT(row, list->count());
    list->item(row)->setCheckState(released ? Qt::Checked : Qt::Unchecked);
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
        const QListWidgetItem* item = list->item(row);
        entries << QStringLiteral("%1:%2:%3")
                       .arg(item->text())
                       .arg(item->data(Qt::UserRole).toInt())
                       .arg(item->checkState() == Qt::Checked ? 1 : 0);
    }
    return entries;
}

std::vector<bool> WindowDriver::EnabledStates() const {
    std::vector<bool> states;
    // The control's own setting: the refresh sets each one, not only their containers.
    for (const QString& name : EnableList()) {
        states.push_back(!Find(qPrintable(name))->testAttribute(Qt::WA_ForceDisabled));
    }
    return states;
}

std::vector<bool> WindowDriver::All(bool enabled) {
    return std::vector<bool>(static_cast<std::size_t>(EnableList().size()), enabled);
}

bool WindowDriver::PasswordSetChosen() const {
    return Find<QRadioButton>("optPasswordSet")->isChecked();
}

}  // namespace travix_test
