#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <exception>
#include <utility>

#include "app/FTravix.h"
#include "app/startup_error.h"

namespace app {
namespace {

constexpr char kCannotStart[] =
    "KorvexStudio Projektdatenbank Im-/ExportTool kann nicht starten.\n"
    "KorvexStudio Project Database Im-/ExportTool cannot start.";

void ReportFailure(const WindowServices& services, const std::string& step,
                   const std::string& reason) {
    QString text = QString::fromUtf8(kCannotStart);
    if (!step.empty()) text += QStringLiteral("\n\n") + QString::fromStdString(step);
    text += QStringLiteral("\n\n") + QString::fromStdString(reason);
    if (services.messages != nullptr) services.messages->ShowError(text);
}

}  // namespace

std::unique_ptr<FTravix> StartTravix(const WindowServices& services) {
    try {
        auto window = std::make_unique<FTravix>(services);
        window->Form_Load();
        return window;
    } catch (const StartupError& error) {
        ReportFailure(services, error.step(), error.what());
    } catch (const std::exception& error) {
        ReportFailure(services, {}, error.what());
    } catch (...) {
        ReportFailure(services, {}, "unknown error");
    }
    return nullptr;
}

int RunTravix(QApplication& application, const WindowServices& services,
              const QString& projectPath) {
    std::unique_ptr<FTravix> window = StartTravix(services);
    if (!window) return kStartupFailureStatus;
    window->show();
    // A dialog returns a full path; so does the command line, relative to where it was given.
    if (!projectPath.isEmpty()) {
        window->OpenSourcePath(QDir::toNativeSeparators(QFileInfo(projectPath).absoluteFilePath()));
    }
    return application.exec();
}

}  // namespace app
