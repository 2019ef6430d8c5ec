// RefreshFormState: probe the source, preset the password options, load its levels and languages,
// then enable the options and OK together.
#include <QComboBox>
#include <QLabel>
#include <exception>

#include "FTravix_layout.h"
#include "app/FTravix.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/connection_text.h"
#include "projectdb/language_releases.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"

namespace app {

void FTravix::RefreshFormState() {
    // The probe gets the text as typed; only the project settings component gets it trimmed.
    const std::string source = ui_->txtSource->text().toStdString();
    const std::string destination = ui_->txtDestination->text().toStdString();
    const projectdb::DatabaseState state = projectdb::GetDatabaseState(source);
    const bool readable =
        state == projectdb::kStateNoPassword || state == projectdb::kStateStandardPassword;

    bool loaded = false;
    if (readable) {
        // In place the options show the file's password state; for a copy they propose the other.
        const bool copying = !projectdb::TrimBlanks(destination).empty();
        const bool withPassword = state == projectdb::kStateStandardPassword;
        if (copying != withPassword) {
            ui_->optPasswordSet->setChecked(true);
        } else {
            ui_->OptPasswordClear->setChecked(true);
        }
        loaded = LoadSourceSettings(source, state);
    }

    // Compared as typed, letter case and blanks included: only the very same text is "no copy".
    const bool enable = readable && loaded && destination != source;
    ui_->cmdOK->setEnabled(enable);
    ui_->fraPassword->setEnabled(enable);
    ui_->fraEditorComponent->setEnabled(enable);
    ui_->OptPasswordClear->setEnabled(enable);
    ui_->optPasswordSet->setEnabled(enable);
    for (std::size_t i = 0; i < componentKeys_.size(); ++i) {
        cmbEditorComponent_[i]->setEnabled(enable);
        lblEditorComponent_[i]->setEnabled(enable);
    }
    ui_->lblEditorComponentLanguage->setEnabled(enable);
    emit formStateRefreshed();
}

// A source that probes as readable can still fail here (no TcfgLanguages, an unknown LCID, the
// file taken by another program since the probe): the user learns the engine's number and
// description, and the options stay locked so that OK cannot write settings that were never
// loaded.
bool FTravix::LoadSourceSettings(const std::string& source, projectdb::DatabaseState state) {
    try {
        projectdb::ProjectSettings settings;  // closes a project left open by a failure
        const std::string connection = projectdb::ConnectionText(source, state);
        const projectdb::ProjectSettings::Handle handle = settings.OpenProject(connection);
        // A stored level that matches no entry leaves its list as it was; without this, the list
        // would still show the previous project's level and OK would write it into this one.
        for (projectdb::ListControl* list : levelLists_) list->setSelectedIndex(-1);
        projectdb::LoadAuthorizationLevels(settings, handle, levelLists_);
        settings.CloseProject(handle);
        projectdb::LoadLanguageList(source, state, *languageList_);
        return true;
    } catch (...) {
        ShowMessage(QString::fromStdString(projectdb::FailureMessage(std::current_exception())));
        return false;
    }
}

}  // namespace app
