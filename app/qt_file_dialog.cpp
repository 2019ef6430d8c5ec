#include "app/qt_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>

namespace app {

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (description.endsWith(bracketed)) {
            filters << description;
        } else {
            filters << description + QLatin1Char(' ') + bracketed;
        }
    }
    return filters;
}

InitialFileName SplitInitialFileName(const QString& fileName) {
    const qsizetype cut =
        std::max(fileName.lastIndexOf(QLatin1Char('\\')), fileName.lastIndexOf(QLatin1Char('/')));
    if (cut < 0) return {QString(), fileName};
    QString folder = fileName.left(cut);
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // "C:" or "" left of the cut means the root of that drive or of the file system.
    if (folder.isEmpty() || folder.endsWith(QLatin1Char(':'))) folder += QLatin1Char('/');
    return {QDir::toNativeSeparators(folder), fileName.mid(cut + 1)};
}

std::optional<QString> QtFileDialog::Choose(const FileDialogRequest& request, QWidget* parent) {
    // Qt's dialog saves its history and last folder as the user's "QtProject" settings when it is
    // destroyed, and reads them back when it is built. The tool stores no settings: for the
    // dialog's lifetime they live in a private folder that goes away with it. Without that folder
    // there is no dialog, as if it had failed.
    const QTemporaryDir settingsFolder;
    if (!settingsFolder.isValid()) return std::nullopt;
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, settingsFolder.path());
    }
    return ShowDialog(request, parent);
}

std::optional<QString> QtFileDialog::ShowDialog(const FileDialogRequest& request, QWidget* parent) {
    const InitialFileName initial = SplitInitialFileName(request.fileName);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // An existing copy target is taken without a question: a re-import always replaces a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(request.filter));
    if (!initial.folder.isEmpty()) dialog.setDirectory(initial.folder);
    // A pattern in the name field is what the filter already shows; only a real name is proposed.
    const bool isPattern =
        initial.name.contains(QLatin1Char('*')) || initial.name.contains(QLatin1Char('?'));
    if (!initial.name.isEmpty() && !isPattern) dialog.selectFile(initial.name);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen.first());
}

}  // namespace app
