#pragma once
// What the window tests share: a QApplication for the whole run (offscreen) in a home and
// configuration folder of its own that start empty, a throw-away registry folder named by
// TRAVIX_REGISTRY_DIR, and a message sink that records instead of blocking.
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>

#include "app/message_sink.h"

namespace travix_test {

// The temporary HOME of this test process; XDG_CONFIG_HOME is its ".config", not made in advance.
const std::filesystem::path& TestHome();
// Every file and folder below the test home, as paths relative to it.
QStringList FilesInTestHome();

class RecordingMessageSink : public app::MessageSink {
  public:
    void ShowError(const QString& text) override { errors.push_back(text); }
    void ShowMessage(const QString& text) override {
        messages.push_back(text);
        if (whileShown) whileShown();
    }
    QStringList errors;
    QStringList messages;
    std::function<void()> whileShown;  // runs as if the message box were on screen
};

// A temporary folder that TRAVIX_REGISTRY_DIR points at while the object lives.
class ScratchRegistry {
  public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    std::filesystem::path HiveFile() const { return dir_ / "HKEY_LOCAL_MACHINE.ini"; }
    void WriteHive(const std::string& content) const;

  private:
    std::filesystem::path dir_;
};

// The hive text that selects a UI language by LCID.
std::string HiveWithLcid(const std::string& lcid);

}  // namespace travix_test
