#include "app/FTravix.h"

#include <QComboBox>
#include <QLabel>
#include <exception>
#include <utility>

#include "FTravix_layout.h"
#include "app/focus_validation.h"
#include "app/help_viewer.h"
#include "app/qt_file_dialog.h"
#include "app/startup_error.h"
#include "app/tag_localisation.h"
#include "help/MHelp.h"
#include "i18n/MResources.h"

namespace app {
namespace {

constexpr char kLanguageStep[] =
    "Die Sprache der Oberfläche konnte nicht bestimmt werden "
    "(Registrierung HKEY_LOCAL_MACHINE\\SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0, Wert LCID).\n"
    "The UI language could not be determined "
    "(registry HKEY_LOCAL_MACHINE\\SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0, value LCID).";
constexpr char kCaptionStep[] =
    "Die Beschriftungen des Fensters konnten nicht gesetzt werden.\n"
    "The captions of the window could not be set.";
constexpr char kHelpFileStep[] =
    "Der Ort der Hilfedatei konnte nicht bestimmt werden "
    "(Registrierung HKEY_LOCAL_MACHINE\\SOFTWARE\\BRENLAK GmbH, Wert Common).\n"
    "The location of the help file could not be determined "
    "(registry HKEY_LOCAL_MACHINE\\SOFTWARE\\BRENLAK GmbH, value Common).";

// Runs one load step; a failure goes on to the caller, labelled with the step so the user learns
// what could not be set up.
template <typename Step>
void RunLoadStep(const char* description, Step&& step) {
    try {
        std::forward<Step>(step)();
    } catch (const std::exception& error) {
        throw StartupError(description, error.what());
    }
}

}  // namespace

FTravix::FTravix(WindowServices services, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::FTravix>()),
      services_(std::move(services)),
      validation_(nullptr) {
    if (!services_.exitProgram) services_.exitProgram = EndProcessNow;
    ui_->setupUi(this);
    cmbEditorComponent_ = {ui_->cmbEditorComponent_0, ui_->cmbEditorComponent_1,
                           ui_->cmbEditorComponent_2, ui_->cmbEditorComponent_3,
                           ui_->cmbEditorComponent_4, ui_->cmbEditorComponent_5,
                           ui_->cmbEditorComponent_6, ui_->cmbEditorComponent_7};
    lblEditorComponent_ = {ui_->lblEditorComponent_0, ui_->lblEditorComponent_1,
                           ui_->lblEditorComponent_2, ui_->lblEditorComponent_3,
                           ui_->lblEditorComponent_4, ui_->lblEditorComponent_5,
                           ui_->lblEditorComponent_6, ui_->lblEditorComponent_7};
    levelListAdapters_.reserve(kComponentCount);
    for (QComboBox* combo : cmbEditorComponent_) levelListAdapters_.emplace_back(combo);
    for (std::size_t i = 0; i < kComponentCount; ++i) levelLists_[i] = &levelListAdapters_[i];
    languageList_ = std::make_unique<CheckedListWidgetList>(ui_->lstLockLanguages);
    if (services_.fileDialog == nullptr) {
        ownFileDialog_ = std::make_unique<QtFileDialog>();
        services_.fileDialog = ownFileDialog_.get();
    }

    if (services_.helpViewer == nullptr) {
        ownHelpViewer_ = std::make_unique<QtHelpViewer>();
        services_.helpViewer = ownHelpViewer_.get();
    }

    validation_ = new FocusValidation(this);
    validation_->Watch(ui_->txtSource, [this](bool& cancel) { txtSource_Validate(cancel); });
    validation_->Watch(ui_->txtDestination,
                       [this](bool& cancel) { txtDestination_Validate(cancel); });

    connect(ui_->cmdCancel, &QPushButton::clicked, this, &FTravix::cmdCancel_Click);
    connect(ui_->cmdHelp, &QPushButton::clicked, this, &FTravix::cmdHelp_Click);
    connect(ui_->cmdChoosePathSource, &QPushButton::clicked, this,
            &FTravix::cmdChoosePathSource_Click);
    connect(ui_->cmdChoosePathDestination, &QPushButton::clicked, this,
            &FTravix::cmdChoosePathDestination_Click);
    connect(ui_->cmdOK, &QPushButton::clicked, this, &FTravix::cmdOK_Click);
}

FTravix::~FTravix() = default;

void FTravix::Form_Load() {
    RunLoadStep(kLanguageStep, [] { i18n::InitLanguage(); });
    RunLoadStep(kCaptionStep, [this] { InitFormFromTag(this); });
    RunLoadStep(kHelpFileStep, [] { help::SetHelpFile(); });
    for (std::size_t i = 0; i < kComponentCount; ++i) projectdb::FillLevelList(*levelLists_[i], i);
    componentKeys_.assign(projectdb::ComponentKeys().begin(), projectdb::ComponentKeys().end());
}

void FTravix::cmdCancel_Click() {
    services_.exitProgram(0);
}

// The viewer opens without an owner, so the window stays usable beside it; Help is never disabled.
void FTravix::cmdHelp_Click() {
    help::ShowHelpContext(0, help::kMainWindowHelpContext, *services_.helpViewer);
}

// The cancel flag stays unset: the focus always moves on, and the refresh runs whether or not the
// text changed.
void FTravix::txtSource_Validate(bool& /*cancel*/) {
    RefreshFormState();
    emit pathValidated(ui_->txtSource);
}

void FTravix::txtDestination_Validate(bool& /*cancel*/) {
    RefreshFormState();
    emit pathValidated(ui_->txtDestination);
}

void FTravix::ShowMessage(const QString& text) {
    if (services_.messages == nullptr) return;
    services_.messages->ShowMessage(text);
    // As after the file dialog: the window takes the activation back from the closed box.
    if (isVisible()) activateWindow();
}

}  // namespace app
