// travix: the KorvexStudio project database import/export tool. The window is the program; closing
// it through the title bar ends the program without writing anything. A project path may follow
// on the command line, as a file manager passes it.
#include <QApplication>
#include <exception>

#include "app/qt_message_sink.h"
#include "app/startup.h"

namespace {

constexpr int kUsageStatus = 2;

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::QtMessageSink messages;
    // Qt has taken its own options out of the arguments by now.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments[0].startsWith(u'-'))) {
        messages.ShowError(QStringLiteral("usage: travix [PROJECT.kxs]"));
        return kUsageStatus;
    }
    app::WindowServices services;
    services.messages = &messages;
    try {
        return app::RunTravix(application, services, arguments.value(0));
    } catch (const std::exception& error) {
        // Anything that escapes the event loop still ends in a message, not a crash.
        messages.ShowError(QString::fromUtf8(error.what()));
    } catch (...) {
        messages.ShowError(QStringLiteral("travix: unknown error"));
    }
    return app::kStartupFailureStatus;
}
