#include "app/qt_message_sink.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace app {

void QtMessageSink::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("travix"), text, QMessageBox::Ok);
    box.exec();
}

void QtMessageSink::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace app
