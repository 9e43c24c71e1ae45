#include "backup/VaultixJobs.h"

#include "backup/VaultixLog.h"
#include "common/FaultPoint.h"
#include "env/DatabaseLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <curl/curl.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// The component attaches as the database administrator, like the cleaning run.
const QString engineUser = QStringLiteral("SYSDBA");
const QString enginePassword = QStringLiteral("quillpine");

// A new folder of our own beside `path` (path + suffix, then with 2, 3, ... appended). The
// engine writes its file inside it: when a cancelled job removes the folder, whatever the
// engine still creates or writes there is gone with it.
QString makePrivateFolder(const QString& path, const QString& suffix) {
    QString candidate = path + suffix;
    // Only this account may look inside: the engine writes a station's data there.
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (int n = 2; !QDir().mkdir(candidate, ownerOnly); ++n) {
        if (!QFileInfo(candidate).exists() || n > 10000)
            throw std::runtime_error("Could not create the folder " + candidate.toStdString());
        candidate = path + suffix + QString::number(n);
    }
    return candidate;
}

// Moves the folder out of the engine's way before deleting it: a file the engine creates
// at its old path afterwards fails, instead of landing in a folder being emptied.
void removeFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    QString doomed = folder + QStringLiteral(".discarded");
    for (int n = 2; QFileInfo::exists(doomed) && n < 10000; ++n)
        doomed = folder + QStringLiteral(".discarded") + QString::number(n);
    if (!QDir().rename(folder, doomed))
        doomed = folder;
    QDir(doomed).removeRecursively();
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Pushes the file's data to the disk before it is renamed into place, so a crash right
// after the rename cannot leave a database name pointing at unwritten pages.
void syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The restored file takes the place of the old one, so it takes its owner, group and mode
// too (the owner first: a change of owner clears the set-id bits).
void takeOwnerAndMode(const QString& file, const QString& model) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(file);
    if (::stat(QFile::encodeName(model).constData(), &st) != 0 ||
        ::chown(name.constData(), st.st_uid, st.st_gid) != 0 ||
        ::chmod(name.constData(), st.st_mode & 07777) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "Could not give " + file.toStdString() + " the owner and mode of " +
                                    model.toStdString());
}

void syncFolder(const QString& path) {
    syncFile(QFileInfo(path).absolutePath());
}

// Renames from over to, replacing to in one step (the engine closes its files before).
void renameOver(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::rename(fsPath(from), fsPath(to), error);
    if (error)
        throw std::system_error(error, "Could not rename " + from.toStdString() + " to " +
                                           to.toStdString());
    syncFolder(to);
}

// Verbose lines carry the utility's prefix; the operator and the log do without it.
QString withoutPrefix(const QString& line) {
    static const QString prefix = QStringLiteral("gbak:");
    return line.startsWith(prefix) ? line.mid(prefix.size()).trimmed() : line;
}

} // namespace

void VaultixJob::run(const LineHandler& onLine, const ProgressHandler& onProgress) {
    const QString op = name();
    const QString log = vaultixLogFileName();
    const LineHandler logged = [&](const QString& line) {
        vaultixLog(log, op, line);
        if (onLine)
            onLine(line);
    };
    try {
        if (fCancelled)
            throw JobCancelled();
        work(logged, onProgress);
        vaultixLog(log, op, QStringLiteral("Finished successfully"));
    } catch (const JobCancelled&) {
        vaultixLog(log, op, QStringLiteral("Cancelled"));
        throw;
    } catch (const std::exception& e) {
        vaultixLog(log, op, QStringLiteral("Failed: ") + QString::fromUtf8(e.what()));
        throw;
    }
}

bool GbakProgress::feed(const QString& line) {
    const QString text = withoutPrefix(line);
    const QLatin1StringView table =
        fRestore ? QLatin1StringView("restoring table ") : QLatin1StringView("writing table ");
    const QLatin1StringView data = fRestore ? QLatin1StringView("restoring data for table ")
                                            : QLatin1StringView("writing data for table ");
    if (text.startsWith(table)) {
        ++fMaximum;
        return true;
    }
    if (text.startsWith(data) && fPosition < fMaximum) {
        ++fPosition;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------

BackupJob::BackupJob(const QString& database, const QString& target, bool noGarbageCollect)
    : fDatabase(database), fTarget(target), fNoGarbageCollect(noGarbageCollect),
      fService(engineUser, enginePassword) {}

BackupJob::~BackupJob() {
    removeFolder(fFolder);
}

void BackupJob::cancel() {
    VaultixJob::cancel();
    fService.Cancel();
}

void BackupJob::work(const LineHandler& onLine, const ProgressHandler& onProgress) {
    onLine(QStringLiteral("Backing up ") + fDatabase + QStringLiteral(" to ") + fileName());
    fFolder = makePrivateFolder(fileName(), QStringLiteral(".part"));
    const QString part = fFolder + QStringLiteral("/backup.part");
    GbakProgress progress(false);
    db::Service::BackupOptions options;
    options.noGarbageCollect = fNoGarbageCollect;
    try {
        fService.Backup(fDatabase, part, options, [&](const QString& line) {
            onLine(withoutPrefix(line));
            if (progress.feed(line) && onProgress)
                onProgress(progress.position(), progress.maximum());
        });
    } catch (const db::ServiceCancelled&) {
        removeFolder(std::exchange(fFolder, QString()));
        throw JobCancelled();
    } catch (...) {
        removeFolder(std::exchange(fFolder, QString()));
        throw;
    }
    progress.finish();
    if (onProgress)
        onProgress(progress.position(), progress.maximum());
}

void BackupJob::commit() {
    if (fFolder.isEmpty())
        throw std::logic_error("No backup to keep");
    const QString part = fFolder + QStringLiteral("/backup.part");
    try {
        // A backup holds what the database holds: it is never more open than the database.
        QFile::setPermissions(part, QFile::permissions(part) & QFile::permissions(fDatabase));
        syncFile(part);
        renameOver(part, fileName());
    } catch (...) {
        removeFolder(std::exchange(fFolder, QString()));
        throw;
    }
    removeFolder(std::exchange(fFolder, QString()));
    vaultixLog(name(), QStringLiteral("Backup file ") + fileName());
}

bool BackupJob::discard() {
    removeFolder(std::exchange(fFolder, QString()));
    return true;
}

// ---------------------------------------------------------------------------------------

RestoreJob::RestoreJob(const QString& backupFile, const QString& database)
    : fBackupFile(backupFile), fDatabase(database), fService(engineUser, enginePassword) {}

RestoreJob::~RestoreJob() {
    removeRestored();
}

void RestoreJob::cancel() {
    VaultixJob::cancel();
    fService.Cancel();
}

void RestoreJob::removeRestored() {
    removeFolder(std::exchange(fFolder, QString()));
}

void RestoreJob::work(const LineHandler& onLine, const ProgressHandler& onProgress) {
    onLine(QStringLiteral("Restoring ") + fBackupFile + QStringLiteral(" to ") + fDatabase);
    if (fDatabase.isEmpty())
        throw std::runtime_error("No database file to restore to");
    if (!QFileInfo(fBackupFile).isFile())
        throw std::runtime_error("Backup file not found: " + fBackupFile.toStdString());
    // A database in use is refused before the work rather than after it.
    if (QFileInfo::exists(fDatabase))
        DatabaseLock inUseCheck(fDatabase);
    // Never restore over the live file: a restore that fails half-way would leave an
    // empty or half-built database in its place.
    const QFileInfo target(fDatabase);
    fFolder = makePrivateFolder(target.absolutePath() + QStringLiteral("/.") + target.fileName(),
                                QStringLiteral(".restoring"));
    const QString restored = restoredFile();
    GbakProgress progress(true);
    try {
        fService.Restore(fBackupFile, restored, {}, [&](const QString& line) {
            onLine(withoutPrefix(line));
            if (progress.feed(line) && onProgress)
                onProgress(progress.position(), progress.maximum());
        });
    } catch (const db::ServiceCancelled&) {
        removeRestored();
        throw JobCancelled();
    } catch (...) {
        removeRestored();
        throw;
    }
    if (!QFileInfo(restored).isFile()) {
        removeRestored();
        throw std::runtime_error("The restore did not produce a database file");
    }
    progress.finish();
    if (onProgress)
        onProgress(progress.position(), progress.maximum());
}

QString RestoreJob::restoredFile() const {
    return fFolder + QLatin1Char('/') + QFileInfo(fDatabase).fileName();
}

void RestoreJob::commit() {
    if (fFolder.isEmpty())
        throw std::logic_error("No restored database to keep");
    const QString restored = restoredFile();
    try {
        // A database that some program has open must not be replaced under it; the lock
        // also keeps every program away until the restored file is in place.
        std::optional<DatabaseLock> lock;
        if (QFileInfo::exists(fDatabase)) {
            lock.emplace(fDatabase);
            takeOwnerAndMode(restored, fDatabase);
        }
        faultPoint("restored");
        syncFile(restored);
        renameOver(restored, fDatabase);
    } catch (...) {
        removeRestored();
        throw;
    }
    removeRestored();
    vaultixLog(name(), QStringLiteral("Restored over ") + fDatabase);
}

bool RestoreJob::discard() {
    removeRestored();
    return true;
}

// ---------------------------------------------------------------------------------------

QString transferUrl(const QString& remoteHost, const QString& remoteFileName) {
    QString base = remoteHost.trimmed();
    if (!base.contains(QStringLiteral("://")))
        base = QStringLiteral("ftp://") + base;
    QUrl url(base, QUrl::TolerantMode);
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + remoteFileName);
    // Credentials travel in their own options, never in the address.
    url.setUserInfo(QString());
    return url.toString(QUrl::FullyEncoded);
}

namespace {

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct TransferState {
    QFile* file = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    const VaultixJob::LineHandler* onLine = nullptr;
    const VaultixJob::ProgressHandler* onProgress = nullptr;
    curl_off_t lastReported = -1;
};

size_t readChunk(char* buffer, size_t size, size_t count, void* user) {
    auto* state = static_cast<TransferState*>(user);
    const qint64 read = state->file->read(buffer, qint64(size) * qint64(count));
    return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
}

int transferProgress(void* user, curl_off_t, curl_off_t, curl_off_t ulTotal, curl_off_t ulNow) {
    auto* state = static_cast<TransferState*>(user);
    if (*state->cancelled)
        return 1;
    if (*state->onProgress && ulNow != state->lastReported) {
        state->lastReported = ulNow;
        (*state->onProgress)(qint64(ulNow), qint64(ulTotal));
    }
    return 0;
}

// The server's replies are the transfer's verbose lines; what the client sends is left
// out, since it holds the password.
int transferDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_TEXT)
        return 0;
    auto* state = static_cast<TransferState*>(user);
    const QString text = QString::fromUtf8(data, qsizetype(size)).trimmed();
    if (!text.isEmpty() && *state->onLine)
        (*state->onLine)(text);
    return 0;
}

} // namespace

TransferJob::TransferJob(const QString& file, const QString& remoteHost, const QString& user,
                         const QString& password, const QString& remoteFileName)
    : fFile(file),
      fUrl(transferUrl(remoteHost,
                       remoteFileName.isEmpty() ? QFileInfo(file).fileName() : remoteFileName)),
      fUser(user), fPassword(password) {}

void TransferJob::work(const LineHandler& onLine, const ProgressHandler& onProgress) {
    onLine(QStringLiteral("Sending ") + fFile + QStringLiteral(" to ") + fUrl);
    QFile file(fFile);
    if (!file.open(QIODevice::ReadOnly))
        throw TransferError(fFile + QStringLiteral(": ") + file.errorString());

    initialiseCurl();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw TransferError(QStringLiteral("Could not start a transfer"));

    TransferState state;
    state.file = &file;
    state.cancelled = &fCancelled;
    state.onLine = &onLine;
    state.onProgress = &onProgress;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray url = fUrl.toUtf8();
    const QByteArray user = fUser.toUtf8();
    const QByteArray password = fPassword.toUtf8();

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readChunk);
    curl_easy_setopt(c, CURLOPT_READDATA, &state);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    if (!fUser.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR));
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    // Worker threads must not get the alarm signal libcurl would otherwise use.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, transferProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, transferDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &state);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode result = curl_easy_perform(c);
    if (result == CURLE_ABORTED_BY_CALLBACK && fCancelled)
        throw JobCancelled();
    if (result != CURLE_OK) {
        const QString message = errorText[0] ? QString::fromUtf8(errorText)
                                             : QString::fromUtf8(curl_easy_strerror(result));
        throw TransferError(message);
    }
}
