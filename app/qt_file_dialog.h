#pragma once
// The program's FileDialog: Qt's file dialog. The request's "\"-built name and "|"-separated
// filter become Qt's forms here, and only here.
#include <QStringList>

#include "app/file_dialog.h"

namespace app {

// "desc|pattern|desc|pattern" as Qt's name filters, one "desc (pattern)" each; a description that
// already ends in "(pattern)" is taken as it is. A trailing description without pattern is dropped.
QStringList QtNameFilters(const QString& filter);

// An initial file name split at its last "\" or "/": the folder in native form and what follows,
// which is a pattern ("*.kxs") or a file name. A name without a separator has an empty folder.
struct InitialFileName {
    QString folder;
    QString name;
};
InitialFileName SplitInitialFileName(const QString& fileName);

class QtFileDialog final : public FileDialog {
  public:
    std::optional<QString> Choose(const FileDialogRequest& request, QWidget* parent) override;

  private:
    static std::optional<QString> ShowDialog(const FileDialogRequest& request, QWidget* parent);
};

}  // namespace app
