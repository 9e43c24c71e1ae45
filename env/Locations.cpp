#include "env/Locations.h"

#include "common/ItemList.h"
#include "env/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace {

std::function<quint64()>& tickSource() {
    static std::function<quint64()> source;
    return source;
}

QString& moduleNameOverride() {
    static QString path;
    return path;
}

// The program folder, settled once by InitUUtils.
QString& programFolder() {
    static QString folder;
    return folder;
}

quint64 tickCount() {
    if (tickSource())
        return tickSource()();
    using namespace std::chrono;
    return quint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool nameTaken(const QString& path) {
    const QFileInfo info(path);
    // A dangling link is taken too: copying to it would write wherever it points.
    return info.exists() || info.isSymLink();
}

const QString kMainProgram = QStringLiteral("/BrevikMain");

} // namespace

QString folderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString filePart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString LocalGDBFromRemoteGDB(const QString& aRemoteGDB) {
    QString result;
    QStringList list;
    {
        TBrevikReg reg;
        reg.getDBDetails(list, QStringLiteral(";"), QString());
    }
    for (const QString& entry : list) {
        if (sameTextAscii(itemEx(2, entry, QStringLiteral(";")), aRemoteGDB)) {
            result = itemEx(1, entry, QStringLiteral(";"));
            break;
        }
    }
    // A local path stands for itself; server forms ("srv:/data/SHOP.GDB") do not.
    if (result.isEmpty() && aRemoteGDB.startsWith(QLatin1Char('/')))
        result = aRemoteGDB;
    return result;
}

QString LastUsedGDBLocal() {
    TBrevikReg reg;
    return reg.getLastUsedDBPath(false);
}

QString DataFolder() {
    return mkFolder(folderPart(LastUsedGDBLocal()), true);
}

QString mkFolder(const QString& aFolderName, bool createIfNecessary) {
    QString result = aFolderName;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    if (createIfNecessary && !QFileInfo(result).isDir())
        QDir().mkpath(result);
    return result;
}

QString uu_getTempDir(bool forceLocal) {
    if (!forceLocal) {
        const QString data = DataFolder();
        // No last used database leaves only the bare root, where no work folder belongs;
        // the local temporary folder serves instead.
        if (data != QLatin1String("/"))
            return mkFolder(data + QStringLiteral("Temp"), true);
    }
    return mkFolder(QDir::tempPath(), true);
}

QString uu_getUniqueFileName(const QString& baseDir, const QString& fileExt) {
    const QString folder = mkFolder(baseDir, false);
    if (!QFileInfo(folder).isDir())
        throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                                folder.toStdString());
    quint64 unique = tickCount() & 0xFFFF;
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        QString name = folder + QString::number(unique, 16).toUpper() + fileExt;
        if (!nameTaken(name))
            return name;
        unique = (unique + 1) & 0xFFFF;
    }
    throw std::system_error(std::make_error_code(std::errc::file_exists),
                            "no free work-file name in " + folder.toStdString());
}

QString uu_getModuleName() {
    if (!moduleNameOverride().isEmpty())
        return moduleNameOverride();
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return QString::fromStdString(exe.string());
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

QString clientRoot() {
    return programFolder();
}

void InitUUtils() {
    // The separator stack of the item lists lives for the whole process already.
    QString candidate;
    {
        TBrevikReg reg;
        candidate = reg.ReadString(QString(), QStringLiteral("ProgramFolder"), QString(), 0);
    }
    // An empty setting names no folder (it would test the file-system root).
    if (candidate.isEmpty() || !QFileInfo(candidate + kMainProgram).isFile()) {
        candidate = folderPart(uu_getModuleName());
        if (!QFileInfo(candidate + kMainProgram).isFile()) {
            // The folder above this program's; not tested.
            candidate.chop(1);
            candidate = folderPart(candidate);
        }
    }
    programFolder() = mkFolder(candidate, true);
}

void setTickSource(std::function<quint64()> source) {
    tickSource() = std::move(source);
}

void setModuleNameOverride(const QString& path) {
    moduleNameOverride() = path;
}
