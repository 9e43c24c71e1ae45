#include "env/Locations.h"
#include "HiveSandbox.h"
#include "env/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <system_error>

namespace {

struct Entry {
    const char* alias;
    const char* localPath;  // nullptr: no value
    const char* serverPath; // nullptr: no value
};

// Adds database-list entries in this order (the list enumerates them by name).
void addEntries(std::initializer_list<Entry> entries) {
    TBrevikReg reg;
    for (const Entry& e : entries) {
        const QString section = QStringLiteral("Database\\List\\") + QString::fromUtf8(e.alias);
        std::unique_ptr<RegistryAccess> access;
        ASSERT_TRUE(reg.GetRegistryAtSection(section, access, false));
        if (e.localPath)
            access->WriteString(QStringLiteral("LocalPath"), QString::fromUtf8(e.localPath));
        if (e.serverPath)
            access->WriteString(QStringLiteral("ServerPath"), QString::fromUtf8(e.serverPath));
    }
}

class Locations : public ::testing::Test {
protected:
    void TearDown() override {
        setTickSource({});
        setModuleNameOverride(QString());
    }
    HiveSandbox sandbox;
};

TEST_F(Locations, RemotePathsMapThroughTheDatabaseList) {
    addEntries({
        // The same server path twice: the entry enumerated first (by name) wins, not the
        // one created first.
        {"SHOP2", "/local/shop2.gdb", "srv:/data/shop.gdb"},
        {"SHOP1", "/local/shop1.gdb", "srv:/DATA/SHOP.GDB"},
        {"EMPTY", "", "srv:/data/EMPTY.GDB"},
        {"NOLOCAL", nullptr, "/data/NOLOCAL.GDB"},
        {"LOCALFORM", "/mnt/station/MAIN.GDB", "/data/MAIN.GDB"},
        {"ACCENT", "/local/cafe.gdb", "srv:/data/CAFÉ.GDB"},
    });
    struct Case {
        const char* remote;
        const char* local;
    };
    const Case cases[] = {
        {"srv:/data/shop.gdb", "/local/shop1.gdb"}, // letter case ignored, first match wins
        {"SRV:/DATA/SHOP.GDB", "/local/shop1.gdb"},
        {"srv:/data/EMPTY.GDB", ""},                 // empty LocalPath: no match, not local
        {"/data/NOLOCAL.GDB", "/data/NOLOCAL.GDB"},  // no LocalPath: the local-path rule
        {"/data/main.gdb", "/mnt/station/MAIN.GDB"}, // a local-form server path maps too
        {"srv:/data/other.gdb", ""},                 // server form not listed
        {"srv:/data/café.gdb", ""},                  // only A to Z ignore case
        {"srv:/data/CAFÉ.GDB", "/local/cafe.gdb"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remote);
        EXPECT_EQ(LocalGDBFromRemoteGDB(QString::fromUtf8(c.remote)), QString::fromUtf8(c.local));
    }
}

TEST_F(Locations, WithoutADatabaseListOnlyLocalPathsMap) {
    EXPECT_EQ(LocalGDBFromRemoteGDB(QStringLiteral("/data/SHOP.GDB")),
              QStringLiteral("/data/SHOP.GDB"));
    EXPECT_EQ(LocalGDBFromRemoteGDB(QStringLiteral("srv:/data/SHOP.GDB")), QString());
    EXPECT_EQ(LocalGDBFromRemoteGDB(QStringLiteral("data/SHOP.GDB")), QString());
}

TEST_F(Locations, DatabaseListEntriesAndTheirDefaultIndex) {
    TBrevikReg reg;
    QStringList list{QStringLiteral("stale")};
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QString()), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QStringLiteral("SHOP1")), -1);

    addEntries({{"Shop1", "/a/S1.GDB", "srv:/a/S1.GDB"}, {"Shop2", nullptr, "srv:/b/S2.GDB"}});
    reg.WriteInteger(QStringLiteral("Database\\List\\Shop1"), QStringLiteral("Colour"), -5);
    reg.WriteString(QStringLiteral("Database\\List\\Shop2"), QStringLiteral("Colour"),
                    QStringLiteral("red"), 0);

    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QString()), 0);
    EXPECT_EQ(list, (QStringList{QStringLiteral("Shop1;/a/S1.GDB;srv:/a/S1.GDB;-5"),
                                 QStringLiteral("Shop2;;srv:/b/S2.GDB;0")}));
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral("|"), QStringLiteral("shop2")), 1);
    EXPECT_EQ(list[1], QStringLiteral("Shop2||srv:/b/S2.GDB|0"));
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QStringLiteral("SHOP3")), -1);

    // With no default asked for, the last used database is the default.
    reg.setLastDB(QStringLiteral("shop2"));
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QString()), 1);
    reg.setLastDB(QStringLiteral("gone"));
    EXPECT_EQ(reg.getDBDetails(list, QStringLiteral(";"), QString()), 0);

    // The database list is read straight: nothing is written back into it.
    QStringList values;
    reg.GetValueNames(QStringLiteral("Database\\List\\Shop2"), values);
    EXPECT_EQ(values, (QStringList{QStringLiteral("ServerPath"), QStringLiteral("Colour")}));
}

TEST_F(Locations, PathStoredAsAnotherTypeFailsTheLookup) {
    TBrevikReg reg;
    reg.WriteInteger(QStringLiteral("Database\\List\\BAD"), QStringLiteral("ServerPath"), 1);
    EXPECT_THROW(LocalGDBFromRemoteGDB(QStringLiteral("/x.gdb")), HiveTypeError);
}

TEST_F(Locations, LastUsedDatabaseAndDataFolder) {
    const QString data = sandbox.file(QStringLiteral("station/data"));
    addEntries({{"SHOP1", (data + "/SHOP.GDB").toUtf8().constData(), "srv:/data/SHOP.GDB"}});
    {
        TBrevikReg reg;
        EXPECT_EQ(LastUsedGDBLocal(), QString());
        reg.setLastDB(QStringLiteral("shop1"));
        EXPECT_EQ(reg.getLastUsedDBPath(true), QStringLiteral("srv:/data/SHOP.GDB"));
    }
    EXPECT_EQ(LastUsedGDBLocal(), data + QStringLiteral("/SHOP.GDB"));
    EXPECT_FALSE(QFileInfo(data).isDir());
    EXPECT_EQ(DataFolder(), data + QLatin1Char('/'));
    EXPECT_TRUE(QFileInfo(data).isDir());
    EXPECT_EQ(uu_getTempDir(false), data + QStringLiteral("/Temp/"));
    EXPECT_TRUE(QFileInfo(data + QStringLiteral("/Temp")).isDir());
}

TEST_F(Locations, TempFolders) {
    EXPECT_EQ(uu_getTempDir(true), QDir::tempPath() + QLatin1Char('/'));
    // No last used database: the local temporary folder, never a folder at the root.
    EXPECT_EQ(uu_getTempDir(false), QDir::tempPath() + QLatin1Char('/'));
}

TEST_F(Locations, MkFolderAddsTheDelimiterAndCreatesOnRequest) {
    const QString base = sandbox.folder();
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {QStringLiteral("/x"), QStringLiteral("/x/")},
        {QStringLiteral("/x/"), QStringLiteral("/x/")},
        {QString(), QStringLiteral("/")},
        {QStringLiteral("rel"), QStringLiteral("rel/")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(mkFolder(c.in, false), c.out);
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/x")));

    const QString deep = base + QStringLiteral("/a/b/c");
    EXPECT_EQ(mkFolder(deep, true), deep + QLatin1Char('/'));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    // A folder that cannot be made (below a regular file) is returned all the same.
    const QString blocked = folderPart(sandbox.unwritablePath(QStringLiteral("f")));
    EXPECT_EQ(mkFolder(blocked, true), blocked);
    EXPECT_FALSE(QFileInfo(blocked).isDir());
}

TEST_F(Locations, UniqueNamesComeFromTheTickAndSkipNamesThatExist) {
    const QString folder = sandbox.folder() + QLatin1Char('/');
    quint64 tick = 0x12ABCD;
    setTickSource([&tick] { return tick; });

    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".gdb")),
              folder + QStringLiteral("ABCD.gdb"));
    // The same tick with nothing created gives the same name.
    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".gdb")),
              folder + QStringLiteral("ABCD.gdb"));
    EXPECT_EQ(uu_getUniqueFileName(sandbox.folder(), QStringLiteral(".gdb")),
              folder + QStringLiteral("ABCD.gdb"));

    // Existing names, files or folders or dangling links, are passed over.
    QFile(folder + QStringLiteral("ABCD.gdb")).open(QIODevice::WriteOnly);
    QDir().mkdir(folder + QStringLiteral("ABCE.gdb"));
    QFile::link(folder + QStringLiteral("nowhere"), folder + QStringLiteral("ABCF.gdb"));
    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".gdb")),
              folder + QStringLiteral("ABD0.gdb"));
    // Another extension is another name.
    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".tmp")),
              folder + QStringLiteral("ABCD.tmp"));

    // Only the low 16 bits count, without leading zeros, and the numbers wrap round.
    tick = 0x70005;
    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".gdb")),
              folder + QStringLiteral("5.gdb"));
    tick = 0xFFFF;
    QFile(folder + QStringLiteral("FFFF.gdb")).open(QIODevice::WriteOnly);
    EXPECT_EQ(uu_getUniqueFileName(folder, QStringLiteral(".gdb")),
              folder + QStringLiteral("0.gdb"));

    EXPECT_THROW(uu_getUniqueFileName(folder + QStringLiteral("missing/"), QStringLiteral(".gdb")),
                 std::system_error);
}

TEST_F(Locations, ProgramFolderFallbacks) {
    const QString root = sandbox.folder();
    QDir().mkpath(root + QStringLiteral("/prog/tool"));
    QDir().mkpath(root + QStringLiteral("/product"));
    QDir().mkpath(root + QStringLiteral("/elsewhere"));
    auto touch = [](const QString& path) { QFile(path).open(QIODevice::WriteOnly); };
    touch(root + QStringLiteral("/product/BrevikMain"));
    setModuleNameOverride(root + QStringLiteral("/prog/tool/dolvane"));
    EXPECT_EQ(uu_getModuleName(), root + QStringLiteral("/prog/tool/dolvane"));

    struct Case {
        const char* label;
        QString setting;   // ProgramFolder; empty: not set
        bool mainBesideUs; // BrevikMain in the tool's own folder
        QString expected;
    };
    const Case cases[] = {
        {"setting names the product", root + QStringLiteral("/product"), false,
         root + QStringLiteral("/product/")},
        {"setting with a trailing /", root + QStringLiteral("/product/"), true,
         root + QStringLiteral("/product/")},
        {"no setting, main beside us", QString(), true, root + QStringLiteral("/prog/tool/")},
        {"setting without main, main beside us", root + QStringLiteral("/elsewhere"), true,
         root + QStringLiteral("/prog/tool/")},
        {"no setting, no main: the folder above", QString(), false,
         root + QStringLiteral("/prog/")},
        {"setting without main, no main: the folder above", root + QStringLiteral("/elsewhere"),
         false, root + QStringLiteral("/prog/")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const QString beside = root + QStringLiteral("/prog/tool/BrevikMain");
        if (c.mainBesideUs)
            touch(beside);
        else
            QFile::remove(beside);
        TBrevikReg reg;
        reg.deleteKey(QString(), QStringLiteral("ProgramFolder"));
        if (!c.setting.isEmpty())
            reg.WriteString(QString(), QStringLiteral("ProgramFolder"), c.setting, 0);
        InitUUtils();
        EXPECT_EQ(clientRoot(), c.expected);
        // The setting is read through the store, so an absent one is left as empty text.
        QStringList values;
        reg.GetValueNames(QString(), values);
        EXPECT_TRUE(values.contains(QStringLiteral("ProgramFolder")));
    }
}

TEST(LocationsPaths, FolderAndFileParts) {
    EXPECT_EQ(folderPart(QStringLiteral("/data/SHOP.GDB")), QStringLiteral("/data/"));
    EXPECT_EQ(filePart(QStringLiteral("/data/SHOP.GDB")), QStringLiteral("SHOP.GDB"));
    EXPECT_EQ(folderPart(QStringLiteral("SHOP.GDB")), QString());
    EXPECT_EQ(filePart(QStringLiteral("/data/")), QString());
}

} // namespace
