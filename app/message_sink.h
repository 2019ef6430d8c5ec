#pragma once
// Where the window and its start-up send messages for the user. The program shows them in message
// boxes; tests record them, so that no modal box ever blocks an offscreen run.
#include <QString>

namespace app {

class MessageSink {
  public:
    virtual ~MessageSink() = default;

    // A failure the program cannot go on after (start-up); the user acknowledges it with OK.
    virtual void ShowError(const QString& text) = 0;

    // A message of the working window (a failed apply or language save, a refresh that could not
    // load the file): application-modal, OK only, no icon, the application's title as caption.
    virtual void ShowMessage(const QString& text) = 0;
};

}  // namespace app
