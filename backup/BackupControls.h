#pragma once

// The Vaultix backup component's four controls: backup, restore, backup manager and
// transfer. Each is a widget of natural size that fills its parent, is driven through
// numbered properties (dispatch identifiers, also reachable by name as Qt properties) and
// reports completion in ModalResult: 0 while it works, then 1 success, 2 cancelled,
// 3 failed. The work runs on a thread of its own, so the window stays live.

#include "backup/BackupTypes.h"
#include "backup/VaultixJobs.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// What the four controls share: the property table, the worker thread, the progress
// display and the Start and Cancel buttons.
class TVaultixControl : public QWidget {
    Q_OBJECT
public:
    // One numbered property: its dispatch identifier, name and kind of value.
    enum class Kind { Int8, Int32, Text };
    struct DispProperty {
        int dispId;
        const char* name;
        Kind kind;
    };

    ~TVaultixControl() override;

    // The class name the component registers the control under ("TFmBackupBackup", ...).
    virtual const char* className() const = 0;
    virtual const std::vector<DispProperty>& properties() const = 0;

    // Writes the property with that dispatch identifier; false when the control has none.
    bool SetDispProperty(int dispId, const QVariant& value);
    // Reads it; an invalid QVariant when the control has none.
    QVariant GetDispProperty(int dispId) const;
    // The dispatch identifier of ModalResult.
    int modalResultId() const;
    int ModalResult() const { return fModalResult; }

    // The numbered properties written so far, in order: every write by identifier, and the
    // writes by name that changed a value.
    const QList<int>& writes() const { return fWrites; }
    // The lines shown so far.
    QStringList lines() const;
    // True while a job runs on the worker thread.
    bool busy() const { return fThread != nullptr; }

    QPushButton* startButton() const { return fStart; }
    QPushButton* cancelButton() const { return fCancel; }
    QProgressBar* progressBar() const { return fBar; }
    QLabel* statusLabel() const { return fStatus; }

public slots:
    // Starts the control's work, as AutoStart or the Start button do.
    void Start();
    // Stops the work, or ends a control not yet started, with ModalResult 2.
    void Cancel();

signals:
    void lineAdded(const QString& line);
    // ModalResult became non-zero.
    void finished(int modalResult);

protected:
    TVaultixControl(const QString& title, QWidget* parent);

    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

    // The value of a property as written (converted to its kind).
    QVariant value(const char* name) const { return property(name); }
    QString text(const char* name) const { return property(name).toString(); }
    int number(const char* name) const { return property(name).toInt(); }
    bool autoStart() const { return number("AutoStart") != 0; }

    // Builds the job from the properties, on the window's thread; throws when they do
    // not make one.
    virtual std::unique_ptr<VaultixJob> makeJob() = 0;
    // The job succeeded and was committed; read its results into the properties.
    virtual void jobDone(VaultixJob& job) { (void)job; }
    // Shows the buttons of a control the operator drives.
    virtual void prepareForOperator();
    // What Start will do, for the operator.
    virtual QString description() const { return QString(); }
    // A write of the control's own: not a write from outside, not in writes().
    void setOwnProperty(const char* name, const QVariant& v);
    void setModalResult(int result);
    void addLine(const QString& line);
    void showStatus(const QString& text);
    void setWorking(bool working);
    // Runs a job on the worker thread; onDone gets the result (mrSuccess, mrCancelled or
    // mrFailed) and the failure's message. Without onDone the result is the control's.
    using DoneHandler = std::function<void(int result, const QString& message)>;
    void runJob(std::unique_ptr<VaultixJob> job, DoneHandler onDone = {});

    QLabel* fTitle = nullptr;
    QLabel* fStatus = nullptr;
    QProgressBar* fBar = nullptr;
    QPlainTextEdit* fLines = nullptr;
    QWidget* fButtons = nullptr;
    QPushButton* fStart = nullptr;
    QPushButton* fCancel = nullptr;

private:
    void jobFinished(int result, const QString& message);
    const DispProperty* find(int dispId) const;
    const DispProperty* find(const QByteArray& name) const;
    static QVariant convert(Kind kind, const QVariant& v);

    int fModalResult = mrWorking;
    bool fStarted = false;
    bool fCancelRequested = false;
    bool fOwnWrite = false;
    QList<int> fWrites;
    std::shared_ptr<VaultixJob> fJob;
    DoneHandler fOnDone;
    std::unique_ptr<QThread> fThread;
};

// Backs up LocalDBPath into BackupFileName + ".fbk"; on success BackupFileName names the
// file written. By name only, SkipGarbageCollection (bool) makes a backup that is about to
// be restored skip the garbage collection.
class TFmBackupBackup final : public TVaultixControl {
    Q_OBJECT
public:
    explicit TFmBackupBackup(QWidget* parent = nullptr);
    const char* className() const override { return "TFmBackupBackup"; }
    const std::vector<DispProperty>& properties() const override;

protected:
    std::unique_ptr<VaultixJob> makeJob() override;
    void jobDone(VaultixJob& job) override;
    QString description() const override;
};

// Restores BackupFileName over LocalDBPath. Driven by the operator (after FormShow) the
// file is chosen in the control.
class TFmBackupRestore final : public TVaultixControl {
    Q_OBJECT
public:
    explicit TFmBackupRestore(QWidget* parent = nullptr);
    const char* className() const override { return "TFmBackupRestore"; }
    const std::vector<DispProperty>& properties() const override;

    // Prepares the control for the operator: choose a backup file, then Start.
    void FormShow();
    QPushButton* chooseButton() const { return fChoose; }

public slots:
    void chooseFile();

protected:
    std::unique_ptr<VaultixJob> makeJob() override;
    void prepareForOperator() override;
    QString description() const override;
    bool event(QEvent* e) override;

private:
    QPushButton* fChoose = nullptr;
};

// Lists the backups in the Backups folders beside LocalDBPath, newest first, and lets the
// operator restore one over the database or delete one. Close ends it with success.
class TFmBackupManager final : public TVaultixControl {
    Q_OBJECT
public:
    explicit TFmBackupManager(QWidget* parent = nullptr);
    const char* className() const override { return "TFmBackupManager"; }
    const std::vector<DispProperty>& properties() const override;

    // The backup files found, full paths, in the order shown.
    const QStringList& backups() const { return fFiles; }
    QListWidget* list() const { return fList; }
    QPushButton* restoreButton() const { return fRestore; }
    QPushButton* deleteButton() const { return fDelete; }
    QPushButton* closeButton() const { return fClose; }

public slots:
    void refresh();
    void restoreSelected();
    void deleteSelected();

protected:
    std::unique_ptr<VaultixJob> makeJob() override;
    void prepareForOperator() override;
    void showEvent(QShowEvent* e) override;

private:
    QString selected() const;
    void updateButtons();

    QListWidget* fList = nullptr;
    QPushButton* fRestore = nullptr;
    QPushButton* fDelete = nullptr;
    QPushButton* fClose = nullptr;
    QStringList fFiles;
};

// Sends TransferFileName to RemoteHost (as RemoteFileName, or under its own name) with
// RemoteUser and RemotePass.
class TFmBackupTransfer final : public TVaultixControl {
    Q_OBJECT
public:
    explicit TFmBackupTransfer(QWidget* parent = nullptr);
    const char* className() const override { return "TFmBackupTransfer"; }
    const std::vector<DispProperty>& properties() const override;

protected:
    std::unique_ptr<VaultixJob> makeJob() override;
    QString description() const override;
};

// Creates a control by its class name; nullptr for a name the component does not know.
std::unique_ptr<TVaultixControl> createVaultixControl(const QString& className);
