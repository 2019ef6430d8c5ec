// The "..." buttons: a file dialog that always starts in the program's own folder, and on a
// confirmed choice the path in its box, selected and focused, then a refresh.
#include <QCoreApplication>
#include <QLineEdit>

#include "FTravix_layout.h"
#include "app/FTravix.h"

namespace app {
namespace {

// The same German description in both UI languages.
constexpr char kProjectFilter[] = "KorvexStudio Projekt (*.kxs)|*.kxs";

// The program's folder, a backslash and the pattern, whatever the box holds.
QString InitialFileName() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("\\*.kxs");
}

}  // namespace

void FTravix::cmdChoosePathSource_Click() {
    ChoosePath(ui_->txtSource, /*save=*/false);
}

void FTravix::cmdChoosePathDestination_Click() {
    ChoosePath(ui_->txtDestination, /*save=*/true);
}

void FTravix::ChoosePath(QLineEdit* box, bool save) {
    const FileDialogRequest request{InitialFileName(), QString::fromUtf8(kProjectFilter), save};
    std::optional<QString> chosen;
    try {
        chosen = services_.fileDialog->Choose(request, this);
    } catch (...) {
        // A dialog that fails is treated like one the user cancelled: nothing changes.
        return;
    }
    // Take the activation back from the closed dialog: without an active window Qt reports no
    // focus changes, and leaving a path box would not validate it (seen without a window manager).
    activateWindow();
    if (chosen) TakeChosenPath(box, *chosen);
}

void FTravix::TakeChosenPath(QLineEdit* box, const QString& path) {
    box->setText(path);
    // The whole text selected with the caret at its start.
    box->setSelection(static_cast<int>(path.size()), -static_cast<int>(path.size()));
    box->setFocus(Qt::OtherFocusReason);
    RefreshFormState();
}

void FTravix::OpenSourcePath(const QString& path) {
    TakeChosenPath(ui_->txtSource, path);
}

}  // namespace app
