#include "backup/BackupDialog.h"

#include "backup/BackupTargets.h"
#include "common/Messages.h"

#include <QApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

// Dispatch identifiers of the properties written or read here.
namespace bbId {
constexpr int ModalResult = 229, BackupClient = 230, BackupMode = 231, RemoteDBPath = 232,
              LocalDBPath = 233, BackupFileName = 234, AllowClearLiveSales = 235, AutoStart = 236,
              ExternalBackupMethod = 237, ExternalBackupCommand = 238;
}
namespace brId {
constexpr int AutoStart = 230, LocalDBPath = 231, ModalResult = 232, BackupClient = 233,
              BackupFileName = 234;
}
namespace bmId {
constexpr int BackupClient = 229, LocalDBPath = 230, RemoteDBPath = 231, ModalResult = 232;
}
namespace btId {
constexpr int BackupClient = 229, TransferFileName = 230, ModalResult = 232, RemoteFileName = 233,
              RemoteHost = 234, RemoteUser = 235, RemotePass = 236, BackupMode = 237,
              RemoteDBPath = 238, AutoStart = 239;
}

void put(TVaultixControl* control, int dispId, const QVariant& value) {
    if (!control->SetDispProperty(dispId, value))
        throw std::runtime_error(std::string(control->className()) + " has no property " +
                                 std::to_string(dispId));
}

} // namespace

TBackupForm::TBackupForm(TBackup& owner) : QDialog(nullptr), Backup(owner) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    resize(410, 251);
    Timer1.setInterval(100);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, &TBackupForm::Timer1Timer);
}

void TBackupForm::Timer1Timer() {
    Timer1.stop();
    TVaultixControl* control = nullptr;
    int id = 0;
    if (Backup.bb) {
        control = Backup.bb;
        id = bbId::ModalResult;
    } else if (Backup.br) {
        control = Backup.br;
        id = brId::ModalResult;
    } else if (Backup.bm) {
        control = Backup.bm;
        id = bmId::ModalResult;
    } else if (Backup.bt) {
        control = Backup.bt;
        id = btId::ModalResult;
    }
    if (!control)
        return;
    const int result = control->GetDispProperty(id).toInt();
    if (result == 0)
        Timer1.start();
    else
        done(result);
}

void TBackupForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

// ---------------------------------------------------------------------------------------

TBackup::TBackup() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw std::runtime_error("The backup component needs a window system");
    f = std::make_unique<TBackupForm>(*this);
}

TBackup::~TBackup() {
    f->Timer1.stop();
}

template <typename T> T* TBackup::createControl(QPointer<T>& field, const char* className) {
    std::unique_ptr<TVaultixControl> made =
        fFactory ? fFactory(QString::fromLatin1(className))
                 : createVaultixControl(QString::fromLatin1(className));
    T* control = qobject_cast<T*>(made.get());
    if (!control)
        throw std::runtime_error(std::string("The backup component's control ") + className +
                                 " could not be created");
    f->resize(control->size());
    control->setParent(f.get());
    f->layout()->addWidget(control);
    static_cast<void>(made.release()); // the host window owns it now
    field = control;
    f->Timer1.start();
    return control;
}

template <typename T> void TBackup::destroyControl(QPointer<T>& field) {
    if (T* control = field) {
        f->layout()->removeWidget(control);
        delete control;
    }
    field.clear();
}

int TBackup::runModal() {
    return f->exec();
}

bool TBackup::Backup(TBackupClient backupClient, TBackupMode backupMode,
                     const QString& remoteDBPath, const QString& localDBPath,
                     QString& backupFileName, bool canClearLiveSales, int sqlVersion,
                     TDateTime monthEndDate, bool autoMode, int extBackupMethod,
                     const QString& extBackupCommand) {
    TFmBackupBackup* control = createControl(bb, "TFmBackupBackup");
    put(control, bbId::BackupClient, int(backupClient));
    put(control, bbId::BackupMode, int(backupMode));
    put(control, bbId::RemoteDBPath, remoteDBPath);
    put(control, bbId::LocalDBPath, localDBPath);
    put(control, bbId::BackupFileName, backupFileName);
    put(control, bbId::ExternalBackupMethod, extBackupMethod);
    put(control, bbId::ExternalBackupCommand, extBackupCommand);
    put(control, bbId::BackupFileName,
        backupTarget(backupClient, backupMode, backupFileName, localDBPath, sqlVersion,
                     monthEndDate));
    put(control, bbId::AllowClearLiveSales, canClearLiveSales ? 1 : 0);
    put(control, bbId::AutoStart, autoMode || backupMode == bmSqlUpdate ? 1 : 0);
    control->setProperty("SkipGarbageCollection", sweepBackup());

    const int result = runModal();
    backupFileName =
        result == mrSuccess ? control->GetDispProperty(bbId::BackupFileName).toString() : QString();
    destroyControl(bb);
    return result == mrSuccess;
}

bool TBackup::Restore(TBackupClient backupClient, const QString& localDBPath,
                      QString& backupFileName, bool autoMode) {
    TFmBackupRestore* control = createControl(br, "TFmBackupRestore");
    put(control, brId::BackupClient, int(backupClient));
    put(control, brId::LocalDBPath, localDBPath);
    put(control, brId::AutoStart, autoMode ? 1 : 0);
    if (autoMode)
        put(control, brId::BackupFileName, backupFileName);
    else
        control->FormShow();

    const int result = runModal();
    backupFileName = control->GetDispProperty(brId::BackupFileName).toString();
    destroyControl(br);
    return result == mrSuccess;
}

void TBackup::Manager(TBackupClient backupClient, const QString& remoteDBPath,
                      const QString& localDBPath) {
    try {
        TFmBackupManager* control = createControl(bm, "TFmBackupManager");
        put(control, bmId::BackupClient, int(backupClient));
        put(control, bmId::RemoteDBPath, remoteDBPath);
        put(control, bmId::LocalDBPath, localDBPath);
        runModal();
        destroyControl(bm);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

bool TBackup::SendDataForReview(TBackupClient backupClient, TBackupMode backupMode,
                                const QString& remoteDBPath, const QString& localDBPath,
                                const QString& host, const QString& user, const QString& pass) {
    QString file;
    if (backupMode == bmSendFiles) {
        file = localDBPath;
    } else {
        // A fresh daily backup, made for bcQelvaro whatever the caller's client.
        Backup(bcQelvaro, bmRequest, remoteDBPath, localDBPath, file, false, 0, 0, true, 0,
               QString());
    }
    if (file.isEmpty())
        return false;

    TFmBackupTransfer* control = createControl(bt, "TFmBackupTransfer");
    put(control, btId::BackupClient, int(backupClient));
    put(control, btId::BackupMode, int(backupMode));
    put(control, btId::RemoteDBPath, remoteDBPath);
    put(control, btId::TransferFileName, file);
    put(control, btId::RemoteFileName, QString());
    put(control, btId::RemoteHost, host);
    put(control, btId::RemoteUser, user);
    put(control, btId::RemotePass, pass);
    put(control, btId::AutoStart, 1);

    const int result = runModal();
    destroyControl(bt);
    if (result == mrSuccess)
        showInfo(QStringLiteral("Data successfully transferred for review."));
    else
        showError(QStringLiteral("Data could NOT be transferred for review."));
    return result == mrSuccess;
}
