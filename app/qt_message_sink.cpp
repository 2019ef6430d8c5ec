#include "app/qt_message_sink.h"

#include <QMessageBox>

namespace app {

void QtMessageSink::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("travix"), text, QMessageBox::Ok);
    box.exec();
}

}  // namespace app
