#pragma once
// FTravix: the one working window. It holds the two path boxes, the password option pair, one level
// list per editor component, the language release list and OK, Cancel and Help. The layout and the
// Tags come from resources/FTravix.ui; this class wires it up and runs the load handler.
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/qt_lists.h"
#include "app/window_services.h"
#include "projectdb/authorization_levels.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace Ui {
class FTravix;
}

namespace app {

class FocusValidation;

inline constexpr std::size_t kComponentCount = projectdb::kComponentCount;

class FTravix : public QWidget {
    Q_OBJECT
  public:
    explicit FTravix(WindowServices services, QWidget* parent = nullptr);
    ~FTravix() override;

    // The load handler; runs once at start-up, before the window is shown. Failures of the language
    // set-up, the captions or the help file location leave it as StartupError.
    void Form_Load();

    // A project named on the command line: shown in txtSource and refreshed as if the user had
    // chosen it through the source's "..." button. REQUIRES: Form_Load ran.
    void OpenSourcePath(const QString& path);

    // The eight component keys, index 0..7 as the level lists; empty until Form_Load ran.
    const std::vector<std::string>& ComponentKeys() const { return componentKeys_; }

    // The control arrays: element i belongs to component i of ComponentKeys.
    QComboBox* cmbEditorComponent(std::size_t index) const { return cmbEditorComponent_.at(index); }
    QLabel* lblEditorComponent(std::size_t index) const { return lblEditorComponent_.at(index); }

  signals:
    // The focus left txtSource or txtDestination for a control that takes part in validation.
    void pathValidated(QWidget* box);
    // RefreshFormState has run to its end (also when loading the source failed).
    void formStateRefreshed();

  private slots:
    void cmdCancel_Click();
    void cmdHelp_Click();
    void cmdChoosePathSource_Click();
    void cmdChoosePathDestination_Click();
    void cmdOK_Click();

  private:
    void txtSource_Validate(bool& cancel);
    void txtDestination_Validate(bool& cancel);
    // Brings presets, lists and the enabled state of the options and OK in line with the paths.
    void RefreshFormState();
    // Loads the source's levels and languages; false (after telling the user) when that failed.
    bool LoadSourceSettings(const std::string& source, std::int32_t state);
    void ChoosePath(QLineEdit* box, bool save);
    void TakeChosenPath(QLineEdit* box, const QString& path);
    void ShowMessage(const QString& text);

    std::unique_ptr<Ui::FTravix> ui_;
    WindowServices services_;
    FocusValidation* validation_;  // owned by this window
    std::array<QComboBox*, kComponentCount> cmbEditorComponent_{};
    std::array<QLabel*, kComponentCount> lblEditorComponent_{};
    std::vector<std::string> componentKeys_;
    std::unique_ptr<help::HelpViewer> ownHelpViewer_;  // used when no viewer was injected
    // The level lists and the language list as the project database logic sees them.
    std::vector<ComboBoxList> levelListAdapters_;
    std::array<projectdb::ListControl*, kComponentCount> levelLists_{};
    std::unique_ptr<CheckedListWidgetList> languageList_;
    std::unique_ptr<FileDialog> ownFileDialog_;  // used when no dialog was injected
};

}  // namespace app
