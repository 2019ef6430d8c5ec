#pragma once
// The file dialog behind the "..." buttons, as the window asks for it: an initial file name (a
// folder and a pattern, with "\" as the window builds paths), one or more filter entries written
// "description|pattern|description|pattern...", and open or save. The answer is the chosen file's
// full path, or nullopt when the user cancelled or the dialog failed; the two are not told apart
// because the window treats them alike.
#include <QString>
#include <optional>

class QWidget;

namespace app {

struct FileDialogRequest {
    QString fileName;
    QString filter;
    bool save = false;  // false: open an existing file
};

class FileDialog {
  public:
    virtual ~FileDialog() = default;
    // Shows the dialog over `parent` (may be nullptr) and waits for the user.
    virtual std::optional<QString> Choose(const FileDialogRequest& request, QWidget* parent) = 0;
};

}  // namespace app
