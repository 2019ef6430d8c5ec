// travix: the KorvexStudio project database import/export tool. The window is the program; closing
// it through the title bar ends the program without writing anything.
#include <QApplication>
#include <exception>

#include "app/qt_message_sink.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::QtMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    try {
        return app::RunTravix(application, services);
    } catch (const std::exception& error) {
        // Anything that escapes the event loop still ends in a message, not a crash.
        messages.ShowError(QString::fromUtf8(error.what()));
    } catch (...) {
        messages.ShowError(QStringLiteral("travix: unknown error"));
    }
    return app::kStartupFailureStatus;
}
