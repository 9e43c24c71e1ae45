#include "backup/BackupControls.h"

#include "backup/BackupTargets.h"
#include "backup/VaultixLog.h"
#include "common/Messages.h"

#include <QDateTime>
#include <QDirIterator>
#include <QDynamicPropertyChangeEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The natural size of every control: the host window's design size.
constexpr int naturalWidth = 410;
constexpr int naturalHeight = 251;

// Lines kept in the control's view; the log has them all.
constexpr int keptLines = 400;

} // namespace

TVaultixControl::TVaultixControl(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    fTitle = new QLabel(title, this);
    QFont titleFont = fTitle->font();
    titleFont.setBold(true);
    fTitle->setFont(titleFont);
    layout->addWidget(fTitle);

    fStatus = new QLabel(this);
    fStatus->setObjectName(QStringLiteral("status"));
    fStatus->setMinimumWidth(1);
    layout->addWidget(fStatus);

    fBar = new QProgressBar(this);
    fBar->setRange(0, 1000);
    fBar->setValue(0);
    fBar->setTextVisible(false);
    layout->addWidget(fBar);

    fLines = new QPlainTextEdit(this);
    fLines->setReadOnly(true);
    fLines->setMaximumBlockCount(keptLines);
    fLines->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(fLines, 1);

    fButtons = new QWidget(this);
    auto* buttons = new QHBoxLayout(fButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    fStart = new QPushButton(tr("&Start"), fButtons);
    fStart->setObjectName(QStringLiteral("start"));
    fCancel = new QPushButton(tr("&Cancel"), fButtons);
    fCancel->setObjectName(QStringLiteral("cancel"));
    buttons->addWidget(fStart);
    buttons->addWidget(fCancel);
    layout->addWidget(fButtons);
    fStart->hide();
    fCancel->hide();
    connect(fStart, &QPushButton::clicked, this, &TVaultixControl::Start);
    connect(fCancel, &QPushButton::clicked, this, &TVaultixControl::Cancel);

    resize(naturalWidth, naturalHeight);
}

TVaultixControl::~TVaultixControl() {
    if (fThread) {
        if (fJob)
            fJob->cancel();
        fThread->wait();
    }
}

const TVaultixControl::DispProperty* TVaultixControl::find(int dispId) const {
    for (const DispProperty& p : properties())
        if (p.dispId == dispId)
            return &p;
    return nullptr;
}

const TVaultixControl::DispProperty* TVaultixControl::find(const QByteArray& name) const {
    for (const DispProperty& p : properties())
        if (name == p.name)
            return &p;
    return nullptr;
}

QVariant TVaultixControl::convert(Kind kind, const QVariant& v) {
    switch (kind) {
    case Kind::Int8:
        return int(qint8(v.toInt()));
    case Kind::Int32:
        return int(qint32(v.toLongLong()));
    case Kind::Text:
        return v.toString();
    }
    return v;
}

int TVaultixControl::modalResultId() const {
    const DispProperty* p = find(QByteArrayLiteral("ModalResult"));
    return p ? p->dispId : -1;
}

bool TVaultixControl::SetDispProperty(int dispId, const QVariant& value) {
    const DispProperty* p = find(dispId);
    if (!p)
        return false;
    // Journaled here: writing a value a property already has sends no change event.
    fWrites.append(dispId);
    const QVariant converted = convert(p->kind, value);
    if (qstrcmp(p->name, "ModalResult") == 0)
        fModalResult = converted.toInt();
    setOwnProperty(p->name, converted);
    return true;
}

QVariant TVaultixControl::GetDispProperty(int dispId) const {
    const DispProperty* p = find(dispId);
    return p ? property(p->name) : QVariant();
}

void TVaultixControl::setOwnProperty(const char* name, const QVariant& v) {
    const bool previous = std::exchange(fOwnWrite, true);
    setProperty(name, v);
    fOwnWrite = previous;
}

bool TVaultixControl::event(QEvent* e) {
    if (e->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName();
        if (const DispProperty* p = find(name)) {
            const QVariant current = property(name);
            const QVariant converted = convert(p->kind, current);
            if (!fOwnWrite)
                fWrites.append(p->dispId);
            // Values take the property's own kind, whoever wrote them and how.
            if (converted != current || converted.metaType() != current.metaType())
                setOwnProperty(p->name, converted);
            if (name == "ModalResult" && !fOwnWrite)
                fModalResult = converted.toInt();
        }
    }
    return QWidget::event(e);
}

void TVaultixControl::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (fStarted || fModalResult != mrWorking)
        return;
    if (autoStart()) {
        // Started once the host window is on screen and its modal loop runs.
        QTimer::singleShot(0, this, &TVaultixControl::Start);
    } else {
        prepareForOperator();
    }
}

void TVaultixControl::prepareForOperator() {
    fStart->show();
    fCancel->show();
    fStart->setEnabled(true);
    fCancel->setEnabled(true);
    showStatus(description());
}

void TVaultixControl::showStatus(const QString& text) {
    // Paths are long; the middle goes, the whole text stays in the tool tip.
    const int room = qMax(40, width() - 24);
    fStatus->setText(fStatus->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    fStatus->setToolTip(text);
}

QStringList TVaultixControl::lines() const {
    return fLines->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TVaultixControl::addLine(const QString& line) {
    fLines->appendPlainText(line);
    showStatus(line);
    emit lineAdded(line);
}

void TVaultixControl::setWorking(bool working) {
    fStart->setEnabled(!working && !fStarted);
    if (working)
        fBar->setRange(0, 0);
}

void TVaultixControl::setModalResult(int result) {
    fModalResult = result;
    setOwnProperty("ModalResult", result);
    if (result != mrWorking)
        emit finished(result);
}

void TVaultixControl::Start() {
    if (fStarted || fModalResult != mrWorking || fThread)
        return;
    fStarted = true;
    fStart->setEnabled(false);
    std::unique_ptr<VaultixJob> job;
    try {
        job = makeJob();
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        vaultixLog(QString::fromLatin1(className()), QStringLiteral("Failed: ") + message);
        addLine(message);
        if (!autoStart())
            showError(message);
        setModalResult(mrFailed);
        return;
    }
    if (job)
        runJob(std::move(job));
}

void TVaultixControl::Cancel() {
    if (fModalResult != mrWorking)
        return;
    if (fThread) {
        // The worker stops soon; until the result is in, a finished job is dropped.
        fCancelRequested = true;
        fCancel->setEnabled(false);
        addLine(tr("Cancelling..."));
        if (fJob)
            fJob->cancel();
        return;
    }
    vaultixLog(QString::fromLatin1(className()), QStringLiteral("Cancelled before it started"));
    setModalResult(mrCancelled);
}

void TVaultixControl::runJob(std::unique_ptr<VaultixJob> job, DoneHandler onDone) {
    if (fThread)
        return;
    fJob = std::shared_ptr<VaultixJob>(std::move(job));
    fOnDone = std::move(onDone);
    fCancelRequested = false;
    setWorking(true);

    const std::shared_ptr<VaultixJob> worker = fJob;
    fThread.reset(QThread::create([this, worker] {
        int result = mrSuccess;
        QString message;
        try {
            worker->run(
                [this](const QString& line) {
                    QMetaObject::invokeMethod(
                        this, [this, line] { addLine(line); }, Qt::QueuedConnection);
                },
                [this](qint64 position, qint64 maximum) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, position, maximum] {
                            if (maximum <= 0) {
                                fBar->setRange(0, 0);
                                return;
                            }
                            fBar->setRange(0, 1000);
                            fBar->setValue(
                                int(std::clamp<qint64>(position * 1000 / maximum, 0, 1000)));
                        },
                        Qt::QueuedConnection);
                });
        } catch (const JobCancelled&) {
            result = mrCancelled;
        } catch (const std::exception& e) {
            result = mrFailed;
            message = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, result, message] { jobFinished(result, message); }, Qt::QueuedConnection);
    }));
    fThread->start();
}

void TVaultixControl::jobFinished(int result, const QString& failure) {
    fThread->wait();
    fThread.reset();
    const std::shared_ptr<VaultixJob> job = std::move(fJob);
    QString message = failure;
    // A cancel that came while the job was finishing still counts, as long as the job's
    // result can be dropped.
    if (result == mrSuccess && fCancelRequested && job->discard()) {
        result = mrCancelled;
        vaultixLog(job->name(), QStringLiteral("Cancelled; the result was dropped"));
    } else if (result == mrSuccess) {
        try {
            job->commit();
            jobDone(*job);
        } catch (const std::exception& e) {
            result = mrFailed;
            message = QString::fromUtf8(e.what());
            vaultixLog(job->name(), QStringLiteral("Failed: ") + message);
        }
    }
    fCancelRequested = false;
    fBar->setRange(0, 1000);
    fBar->setValue(result == mrSuccess ? 1000 : 0);
    fCancel->setEnabled(true);
    addLine(result == mrSuccess     ? tr("Finished.")
            : result == mrCancelled ? tr("Cancelled.")
                                    : tr("Failed: %1").arg(message));
    setWorking(false);

    if (fOnDone) {
        const DoneHandler done = std::move(fOnDone);
        fOnDone = {};
        done(result, message);
        return;
    }
    // Nobody watches an automatic run; the caller reports a failure its own way.
    if (result == mrFailed && !autoStart())
        showError(message);
    setModalResult(result);
}

// ---------------------------------------------------------------------------------------

TFmBackupBackup::TFmBackupBackup(QWidget* parent) : TVaultixControl(tr("Backup"), parent) {
    for (const DispProperty& p : properties())
        setOwnProperty(p.name, p.kind == Kind::Text ? QVariant(QString()) : QVariant(0));
    setOwnProperty("SkipGarbageCollection", false);
}

const std::vector<TVaultixControl::DispProperty>& TFmBackupBackup::properties() const {
    static const std::vector<DispProperty> table = {
        {229, "ModalResult", Kind::Int32},
        {230, "BackupClient", Kind::Int8},
        {231, "BackupMode", Kind::Int8},
        {232, "RemoteDBPath", Kind::Text},
        {233, "LocalDBPath", Kind::Text},
        {234, "BackupFileName", Kind::Text},
        {235, "AllowClearLiveSales", Kind::Int8},
        {236, "AutoStart", Kind::Int8},
        {237, "ExternalBackupMethod", Kind::Int32},
        {238, "ExternalBackupCommand", Kind::Text},
    };
    return table;
}

std::unique_ptr<VaultixJob> TFmBackupBackup::makeJob() {
    const QString target = text("BackupFileName");
    if (target.isEmpty())
        throw std::runtime_error("No backup file name was given");
    const QString database = text("LocalDBPath");
    if (database.isEmpty())
        throw std::runtime_error("No database was given");
    return std::make_unique<BackupJob>(database, target,
                                       property("SkipGarbageCollection").toBool());
}

QString TFmBackupBackup::description() const {
    return tr("Back up %1 to %2.fbk").arg(text("LocalDBPath"), text("BackupFileName"));
}

void TFmBackupBackup::jobDone(VaultixJob& job) {
    setOwnProperty("BackupFileName", static_cast<BackupJob&>(job).fileName());
}

// ---------------------------------------------------------------------------------------

TFmBackupRestore::TFmBackupRestore(QWidget* parent) : TVaultixControl(tr("Restore"), parent) {
    fChoose = new QPushButton(tr("C&hoose backup..."), fButtons);
    fChoose->setObjectName(QStringLiteral("choose"));
    static_cast<QHBoxLayout*>(fButtons->layout())->insertWidget(0, fChoose);
    fChoose->hide();
    connect(fChoose, &QPushButton::clicked, this, &TFmBackupRestore::chooseFile);
    for (const DispProperty& p : properties())
        setOwnProperty(p.name, p.kind == Kind::Text ? QVariant(QString()) : QVariant(0));
}

const std::vector<TVaultixControl::DispProperty>& TFmBackupRestore::properties() const {
    static const std::vector<DispProperty> table = {
        {230, "AutoStart", Kind::Int8},      {231, "LocalDBPath", Kind::Text},
        {232, "ModalResult", Kind::Int32},   {233, "BackupClient", Kind::Int8},
        {234, "BackupFileName", Kind::Text},
    };
    return table;
}

void TFmBackupRestore::FormShow() {
    fChoose->show();
    prepareForOperator();
}

QString TFmBackupRestore::description() const {
    return text("BackupFileName").isEmpty()
               ? tr("Choose the backup to restore over %1").arg(text("LocalDBPath"))
               : tr("Restore %1 over %2").arg(text("BackupFileName"), text("LocalDBPath"));
}

void TFmBackupRestore::prepareForOperator() {
    TVaultixControl::prepareForOperator();
    // Start waits until there is a file to restore.
    if (!fChoose->isHidden())
        fStart->setEnabled(!text("BackupFileName").isEmpty());
}

bool TFmBackupRestore::event(QEvent* e) {
    const bool handled = TVaultixControl::event(e);
    if (e->type() == QEvent::DynamicPropertyChange && !fChoose->isHidden() &&
        static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == "BackupFileName" &&
        !busy()) {
        fStart->setEnabled(!text("BackupFileName").isEmpty());
        showStatus(description());
    }
    return handled;
}

void TFmBackupRestore::chooseFile() {
    const QString folder = backupsFolder(text("LocalDBPath"));
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Choose a backup"), QFileInfo(folder).isDir() ? folder : QString(),
        tr("Backups (*.fbk);;All files (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty())
        setOwnProperty("BackupFileName", file);
}

std::unique_ptr<VaultixJob> TFmBackupRestore::makeJob() {
    fChoose->setEnabled(false);
    return std::make_unique<RestoreJob>(text("BackupFileName"), text("LocalDBPath"));
}

// ---------------------------------------------------------------------------------------

TFmBackupManager::TFmBackupManager(QWidget* parent)
    : TVaultixControl(tr("Backup Manager"), parent) {
    for (const DispProperty& p : properties())
        setOwnProperty(p.name, p.kind == Kind::Text ? QVariant(QString()) : QVariant(0));
    fLines->setMaximumHeight(60);
    fList = new QListWidget(this);
    fList->setObjectName(QStringLiteral("backups"));
    static_cast<QVBoxLayout*>(layout())->insertWidget(2, fList, 2);

    auto* buttons = static_cast<QHBoxLayout*>(fButtons->layout());
    fRestore = new QPushButton(tr("&Restore"), fButtons);
    fDelete = new QPushButton(tr("&Delete"), fButtons);
    fClose = new QPushButton(tr("C&lose"), fButtons);
    buttons->insertWidget(0, fRestore);
    buttons->insertWidget(1, fDelete);
    buttons->addWidget(fClose);
    connect(fRestore, &QPushButton::clicked, this, &TFmBackupManager::restoreSelected);
    connect(fDelete, &QPushButton::clicked, this, &TFmBackupManager::deleteSelected);
    connect(fClose, &QPushButton::clicked, this, [this] {
        if (!busy())
            setModalResult(mrSuccess);
    });
    connect(fList, &QListWidget::currentRowChanged, this, &TFmBackupManager::updateButtons);
    updateButtons();
}

const std::vector<TVaultixControl::DispProperty>& TFmBackupManager::properties() const {
    static const std::vector<DispProperty> table = {
        {229, "BackupClient", Kind::Int8},
        {230, "LocalDBPath", Kind::Text},
        {231, "RemoteDBPath", Kind::Text},
        {232, "ModalResult", Kind::Int32},
    };
    return table;
}

std::unique_ptr<VaultixJob> TFmBackupManager::makeJob() {
    // The manager works through its own buttons.
    return nullptr;
}

void TFmBackupManager::prepareForOperator() {
    fStart->hide();
    fCancel->hide();
}

void TFmBackupManager::showEvent(QShowEvent* e) {
    TVaultixControl::showEvent(e);
    refresh();
}

void TFmBackupManager::refresh() {
    const QString folder = backupsFolder(text("LocalDBPath"));
    QFileInfoList found;
    QDirIterator it(folder, {QStringLiteral("*.fbk")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        found.append(it.fileInfo());
    }
    std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        if (a.lastModified() != b.lastModified())
            return a.lastModified() > b.lastModified();
        return a.filePath() > b.filePath();
    });
    fFiles.clear();
    fList->clear();
    const QLocale locale;
    for (const QFileInfo& info : std::as_const(found)) {
        fFiles.append(info.filePath());
        const QString shown = info.filePath().mid(folder.size());
        fList->addItem(
            QStringLiteral("%1    %2    %3 MB")
                .arg(shown,
                     locale.toString(info.lastModified(), QStringLiteral("dd/MM/yyyy HH:mm")),
                     locale.toString(double(info.size()) / 1048576.0, 'f', 2)));
    }
    showStatus(found.isEmpty() ? tr("No backups in %1").arg(folder)
                               : tr("%n backup(s) in %1", nullptr, int(found.size())).arg(folder));
    updateButtons();
}

QString TFmBackupManager::selected() const {
    const int row = fList->currentRow();
    return row >= 0 && row < fFiles.size() ? fFiles.at(row) : QString();
}

void TFmBackupManager::updateButtons() {
    const bool idle = !busy();
    const bool chosen = !selected().isEmpty();
    fRestore->setEnabled(idle && chosen);
    fDelete->setEnabled(idle && chosen);
    fClose->setEnabled(idle);
    fCancel->setVisible(!idle);
}

void TFmBackupManager::restoreSelected() {
    const QString file = selected();
    const QString database = text("LocalDBPath");
    if (file.isEmpty() || busy())
        return;
    if (askQuestion(tr("Restore the backup %1 over the database %2?\r\nEverything changed in the "
                       "database since that backup is lost.")
                        .arg(file, database)) != idYes)
        return;
    runJob(std::make_unique<RestoreJob>(file, database),
           [this, file](int result, const QString& message) {
               updateButtons();
               if (result == mrSuccess)
                   showStatus(tr("Restored %1").arg(QFileInfo(file).fileName()));
               else if (result == mrFailed)
                   showError(message);
           });
    updateButtons();
}

void TFmBackupManager::deleteSelected() {
    const QString file = selected();
    if (file.isEmpty() || busy())
        return;
    if (askQuestion(tr("Delete the backup %1?").arg(file)) != idYes)
        return;
    QFile target(file);
    if (!target.remove()) {
        showError(target.errorString());
        return;
    }
    vaultixLog(QStringLiteral("Manager"), QStringLiteral("Deleted ") + file);
    refresh();
}

// ---------------------------------------------------------------------------------------

TFmBackupTransfer::TFmBackupTransfer(QWidget* parent) : TVaultixControl(tr("Transfer"), parent) {
    for (const DispProperty& p : properties())
        setOwnProperty(p.name, p.kind == Kind::Text ? QVariant(QString()) : QVariant(0));
}

const std::vector<TVaultixControl::DispProperty>& TFmBackupTransfer::properties() const {
    static const std::vector<DispProperty> table = {
        {229, "BackupClient", Kind::Int8}, {230, "TransferFileName", Kind::Text},
        {232, "ModalResult", Kind::Int32}, {233, "RemoteFileName", Kind::Text},
        {234, "RemoteHost", Kind::Text},   {235, "RemoteUser", Kind::Text},
        {236, "RemotePass", Kind::Text},   {237, "BackupMode", Kind::Int8},
        {238, "RemoteDBPath", Kind::Text}, {239, "AutoStart", Kind::Int8},
    };
    return table;
}

QString TFmBackupTransfer::description() const {
    return tr("Send %1 to %2").arg(text("TransferFileName"), text("RemoteHost"));
}

std::unique_ptr<VaultixJob> TFmBackupTransfer::makeJob() {
    const QString file = text("TransferFileName");
    if (!QFileInfo(file).isFile())
        throw std::runtime_error("File to send not found: " + file.toStdString());
    if (text("RemoteHost").trimmed().isEmpty())
        throw std::runtime_error("No host to send to");
    return std::make_unique<TransferJob>(file, text("RemoteHost"), text("RemoteUser"),
                                         text("RemotePass"), text("RemoteFileName"));
}

// ---------------------------------------------------------------------------------------

std::unique_ptr<TVaultixControl> createVaultixControl(const QString& className) {
    if (className == QLatin1String("TFmBackupBackup"))
        return std::make_unique<TFmBackupBackup>();
    if (className == QLatin1String("TFmBackupRestore"))
        return std::make_unique<TFmBackupRestore>();
    if (className == QLatin1String("TFmBackupManager"))
        return std::make_unique<TFmBackupManager>();
    if (className == QLatin1String("TFmBackupTransfer"))
        return std::make_unique<TFmBackupTransfer>();
    return nullptr;
}
