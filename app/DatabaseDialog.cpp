#include "app/DatabaseDialog.h"

#include <QFileDialog>
#include <QPointer>

namespace {
std::function<void(QFileDialog&)>& dialogHook() {
    static std::function<void(QFileDialog&)> hook;
    return hook;
}
} // namespace

QStringList databaseNameFilters() {
    // Qt's own dialog matches these ignoring case, so SHOP.GDB and shop.Fdb show too; a
    // desktop's native dialog might not.
    return {QStringLiteral("Firebird databases (*.gdb *.fdb)"), QStringLiteral("All files (*)")};
}

QString chooseDatabaseFile(QWidget* owner, const QString& folder) {
    QFileDialog dialog(owner, QStringLiteral("Open database"), folder);
    dialog.setObjectName(QStringLiteral("DatabaseDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(databaseNameFilters());
    dialog.selectNameFilter(databaseNameFilters().first());
    if (dialogHook()) {
        QPointer<QFileDialog> shown(&dialog);
        QMetaObject::invokeMethod(
            &dialog,
            [shown] {
                if (shown && dialogHook())
                    dialogHook()(*shown);
            },
            Qt::QueuedConnection);
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

void setDatabaseDialogHook(std::function<void(QFileDialog&)> hook) {
    dialogHook() = std::move(hook);
}
