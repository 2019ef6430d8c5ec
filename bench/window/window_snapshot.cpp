// Starts the window as the program does, waits until the window system has it on screen, prints how
// long that took and saves a picture of the window:
//   travix_window_snapshot OUT.png
// Run it under Xvfb for a real display; the registry folder decides the language as for travix.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/FTravix.h"
#include "app/qt_message_sink.h"
#include "app/startup.h"

namespace {

// Milliseconds since the kernel started this process (clock-tick resolution), or -1.
double MillisecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::ifstream uptimeFile("/proc/uptime");
    std::string line, field;
    double uptime = 0;
    if (!std::getline(stat, line) || !(uptimeFile >> uptime)) return -1;
    // The command name may hold blanks; the fields after it are plain numbers, starttime the 20th.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    return (uptime - std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK))) * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    app::QtMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    std::unique_ptr<app::FTravix> window = app::StartTravix(services);
    if (!window) return app::kStartupFailureStatus;
    const qint64 loaded = sinceMain.elapsed();
    window->show();
    while (!window->windowHandle()->isExposed() && sinceMain.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::printf(
        "Form_Load done %lld ms, window exposed %lld ms after main(); %.0f ms after the "
        "process started\n",
        static_cast<long long>(loaded), static_cast<long long>(sinceMain.elapsed()),
        MillisecondsSinceProcessStart());
    QApplication::processEvents();
    return window->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
