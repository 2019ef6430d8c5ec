#pragma once
// The program's MessageSink: a modal QMessageBox with an OK button.
#include "app/message_sink.h"

namespace app {

class QtMessageSink : public MessageSink {
  public:
    void ShowError(const QString& text) override;
    void ShowMessage(const QString& text) override;
};

}  // namespace app
