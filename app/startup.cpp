#include "app/startup.h"

#include <QApplication>
#include <exception>
#include <utility>

#include "app/FTravix.h"

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

StartupError::StartupError(std::string step, const std::string& reason)
    : std::runtime_error(reason), step_(std::move(step)) {}

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

int RunTravix(QApplication& application, const WindowServices& services) {
    std::unique_ptr<FTravix> window = StartTravix(services);
    if (!window) return kStartupFailureStatus;
    window->show();
    return application.exec();
}

}  // namespace app
