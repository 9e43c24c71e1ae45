#pragma once

// The program's front to the backup component with its controls on screen: each operation
// puts one control into the borderless host window TBackupForm, writes the control's
// properties, runs the host window modally until the control's ModalResult (polled every
// 100 ms) ends it, reads the results back and destroys the control. Needs a QApplication;
// without a window use CoreBackup.

#include "backup/BackupControls.h"
#include "backup/BackupOperations.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class TBackup;

// The host window: no border or caption, centred on the screen each time it is shown.
class TBackupForm final : public QDialog {
    Q_OBJECT
public:
    explicit TBackupForm(TBackup& owner);

    // The completion poll: 100 ms, off until a control is shown.
    QTimer Timer1;
    TBackup& Backup;

    // One tick of the poll: ends the modal run with the running control's ModalResult once
    // that is non-zero.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    // Escape does not end the modal run: only the control's result does.
    void reject() override {}
};

class TBackup final : public BackupFront {
public:
    // Makes a control by class name; the default makes the component's own.
    using ControlFactory =
        std::function<std::unique_ptr<TVaultixControl>(const QString& className)>;

    // Raises std::runtime_error when there is no QApplication to show windows with.
    TBackup();
    ~TBackup() override;

    bool Backup(TBackupClient backupClient, TBackupMode backupMode, const QString& remoteDBPath,
                const QString& localDBPath, QString& backupFileName, bool canClearLiveSales,
                int sqlVersion, TDateTime monthEndDate, bool autoMode, int extBackupMethod,
                const QString& extBackupCommand) override;
    bool Restore(TBackupClient backupClient, const QString& localDBPath, QString& backupFileName,
                 bool autoMode) override;
    // The backup manager; an error is shown to the operator, not raised.
    void Manager(TBackupClient backupClient, const QString& remoteDBPath,
                 const QString& localDBPath);
    // Sends the database (bmSendFiles) or a fresh backup of it for review and tells the
    // operator how that went. False without a message when there was nothing to send.
    bool SendDataForReview(TBackupClient backupClient, TBackupMode backupMode,
                           const QString& remoteDBPath, const QString& localDBPath,
                           const QString& host, const QString& user, const QString& pass);

    TBackupForm* form() const { return f.get(); }
    // The control of the running operation, or none.
    TFmBackupBackup* backupControl() const { return bb; }
    TFmBackupRestore* restoreControl() const { return br; }
    TFmBackupManager* managerControl() const { return bm; }
    TFmBackupTransfer* transferControl() const { return bt; }

    // Test seam: where controls come from.
    void setControlFactory(ControlFactory factory) { fFactory = std::move(factory); }

private:
    friend class TBackupForm;
    template <typename T> T* createControl(QPointer<T>& field, const char* className);
    int runModal();
    template <typename T> void destroyControl(QPointer<T>& field);

    std::unique_ptr<TBackupForm> f;
    QPointer<TFmBackupBackup> bb;
    QPointer<TFmBackupRestore> br;
    QPointer<TFmBackupManager> bm;
    QPointer<TFmBackupTransfer> bt;
    ControlFactory fFactory;
};
