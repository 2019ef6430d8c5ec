// OK: everything the user chose goes into the target in one run; a completed run ends the
// program, a failed one leaves the window open with one of the two fixed messages.
#include <QLineEdit>
#include <QRadioButton>
#include <exception>

#include "FTravix_layout.h"
#include "app/FTravix.h"
#include "projectdb/apply.h"
#include "projectdb/connection_text.h"

namespace app {

void FTravix::cmdOK_Click() {
    projectdb::ApplyChoices choices;
    choices.sourcePath = ui_->txtSource->text().toStdString();
    choices.copyPath = ui_->txtDestination->text().toStdString();
    choices.passwordSet = ui_->optPasswordSet->isChecked();
    choices.passwordClear = ui_->OptPasswordClear->isChecked();
    // Working in place, the copy box shows the database path from here on, so that a message of a
    // later step (and a failure) shows where the changes go.
    if (projectdb::TrimBlanks(choices.copyPath).empty())
        ui_->txtDestination->setText(ui_->txtSource->text());
    const projectdb::MessageSink showLanguageMessage = [this](const std::string& text) {
        ShowMessage(QString::fromStdString(text));
    };

    projectdb::ApplyResult result;
    try {
        result = projectdb::ApplyChanges(choices, levelLists_, *languageList_, showLanguageMessage);
    } catch (...) {
        // ApplyChanges reports its failures in the result; anything else escaping it (memory) may
        // have come after the copy, so it counts as a failure of the changes and ends nothing.
        result.completed = false;
        result.failedStep = projectdb::ApplyStep::Changes;
    }
    if (!result.completed) {
        ShowMessage(QString::fromUtf8(projectdb::ApplyFailureMessage(result.failedStep)));
        return;
    }
    services_.exitProgram(0);
}

}  // namespace app
