#include "app/PlainMessages.h"

#include <QGuiApplication>
#include <QPointer>

namespace {
std::function<void(QMessageBox&)>& plainHook() {
    static std::function<void(QMessageBox&)> hook;
    return hook;
}
} // namespace

void plainMessageBox(QWidget* owner, const QString& text, const QString& caption,
                     QMessageBox::Icon icon) {
    QMessageBox box(icon, caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption,
                    text, QMessageBox::Ok, owner);
    if (plainHook()) {
        QPointer<QMessageBox> shown(&box);
        QMetaObject::invokeMethod(
            &box,
            [shown] {
                if (shown && plainHook())
                    plainHook()(*shown);
            },
            Qt::QueuedConnection);
    }
    box.exec();
}

void setPlainMessageHook(std::function<void(QMessageBox&)> hook) {
    plainHook() = std::move(hook);
}
