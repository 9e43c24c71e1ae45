#include "HiveSandbox.h"
#include "env/Locations.h"
#include "env/SettingsStore.h"
#include "env/reg/RegFile.h"

#include <QProcess>
#include <QStringConverter>
#include <gtest/gtest.h>

namespace {

struct RegRun {
    int exitCode = -1;
    QString out;
    QString err;
};

RegRun runReg(const QStringList& args, const QByteArray& input = QByteArray()) {
    QProcess process;
    process.start(QStringLiteral(DOLVANE_REG), args);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    RegRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray utf16File(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(text));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An export of HKLM\SOFTWARE\Velmora as the Windows registry editor writes it, line by line:
// keys in name order, values in the order they were made, long hex data broken after the
// comma that reaches 77 characters and continued with two blanks.
const char* const kRegeditLines[] = {
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik]",
    "@=\"Brevik settings\"",
    "\"ProgramFolder\"=\"/opt/velmora/brevik/\"",
    "\"LastUser\"=\"O'Brien \\\"Night\\\" C:\\\\Shift\"",
    "\"Empty\"=\"\"",
    "\"Station\"=\"Caf\xC3\xA9 N\xC3\xB8rd\"",
    "\"Rate\"=hex:00,00,00,00,00,00,f8,3f",
    "\"Logo\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\",
    "  16,17,18,19,1a,1b,1c,1d",
    "\"BackupPath\"=hex(2):25,00,44,00,41,00,54,00,41,00,25,00,2f,00,42,00,61,00,63,\\",
    "  00,6b,00,75,00,70,00,73,00,2f,00,44,00,61,00,69,00,6c,00,79,00,2f,00,00,00",
    "\"Aliases\"=hex(7):53,00,31,00,00,00,53,00,32,00,00,00,00,00",
    "\"Serial\"=hex(b):01,02,03,04,05,06,07,08",
    "\"Nothing\"=hex:",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Database]",
    "\"DefaultDatabase\"=\"Shop1\"",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Database\\List]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Database\\List\\Shop1]",
    "\"LocalPath\"=\"/data/SHOP.GDB\"",
    "\"ServerPath\"=\"srv:/data/SHOP.GDB\"",
    "\"Colour\"=dword:ffffff00",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Debug]",
    "\"DebugLevel\"=dword:00000005",
    "",
    "", // the file ends with an empty line
};

QString regeditText(const char* lineEnd = "\r\n") {
    QStringList lines;
    for (const char* line : kRegeditLines)
        lines.append(QString::fromUtf8(line));
    return lines.join(QString::fromLatin1(lineEnd));
}

class RegTool : public ::testing::Test {
protected:
    HiveSandbox sandbox;
};

TEST_F(RegTool, RegeditExportRoundTripsByteForByte) {
    const QByteArray original = utf16File(regeditText());
    ASSERT_TRUE(original.startsWith("\xFF\xFE\x57\x00"));
    const QString in = sandbox.file(QStringLiteral("in.reg"));
    writeFile(in, original);

    RegRun run = runReg({QStringLiteral("import"), in});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("The operation completed successfully."));

    const QString out = sandbox.file(QStringLiteral("out.reg"));
    run = runReg({QStringLiteral("export"), QStringLiteral("HKLM\\SOFTWARE\\Velmora"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(out), original);

    // Key names in the command ignore case; the file keeps the stored case.
    run = runReg({QStringLiteral("export"), QStringLiteral("hkey_local_machine\\software\\VELMORA"),
                  out, QStringLiteral("/y")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(out), original);

    // The product's settings read back in their kinds.
    TBrevikReg reg;
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), 5);
    EXPECT_EQ(reg.readFloat(QString(), QStringLiteral("Rate")), 1.5);
    EXPECT_EQ(reg.ReadString(QString(), QStringLiteral("LastUser"), QString(), 0),
              QStringLiteral("O'Brien \"Night\" C:\\Shift"));
    {
        // Read past the store: its write-back would keep the text as plain text.
        std::unique_ptr<RegistryAccess> access;
        ASSERT_TRUE(reg.GetRegistryAtSection(QString(), access, true));
        EXPECT_EQ(access->ReadString(QStringLiteral("BackupPath")),
                  QStringLiteral("%DATA%/Backups/Daily/"));
    }
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Database\\List\\Shop1"), QStringLiteral("Colour"), 0),
              -256);
    EXPECT_EQ(LocalGDBFromRemoteGDB(QStringLiteral("SRV:/data/shop.gdb")),
              QStringLiteral("/data/SHOP.GDB"));
    // The write-backs of those reads left the export unchanged.
    run = runReg({QStringLiteral("export"), QStringLiteral("HKLM\\SOFTWARE\\Velmora"), out,
                  QStringLiteral("/y")});
    EXPECT_EQ(readFile(out), original);
}

TEST_F(RegTool, Utf8FileWithUnixLineEndsImportsTheSame) {
    const QString in = sandbox.file(QStringLiteral("in.reg"));
    for (const QByteArray& bom : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        SCOPED_TRACE(bom.isEmpty() ? "no BOM" : "BOM");
        writeFile(in, bom + regeditText("\n").toUtf8());
        RegRun run = runReg({QStringLiteral("import"), in});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QString out = sandbox.file(QStringLiteral("out.reg"));
        run = runReg({QStringLiteral("export"), QStringLiteral("HKLM\\SOFTWARE\\Velmora"), out,
                      QStringLiteral("/y")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(readFile(out), utf16File(regeditText()));
    }
}

TEST_F(RegTool, BrokenFileNamesTheLineAndImportsNothing) {
    const QString setup = sandbox.file(QStringLiteral("setup.reg"));
    writeFile(setup, utf16File(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik]\r\n"
                                              "\"Keep\"=\"yes\"\r\n")));
    ASSERT_EQ(runReg({QStringLiteral("import"), setup}).exitCode, 0);

    // Every file first changes "Keep" and adds "New" in both hives, then goes wrong.
    const QString good = QStringLiteral("Windows Registry Editor Version 5.00\r\n"
                                        "\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik]\r\n"
                                        "\"Keep\"=\"no\"\r\n"
                                        "\"New\"=dword:00000001\r\n"
                                        "[HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Brevik]\r\n"
                                        "\"New\"=\"x\"\r\n");
    struct Case {
        const char* label;
        QString text;
        int line;
    };
    const Case cases[] = {
        {"bad header", QStringLiteral("REGEDIT4\r\n") + good.mid(good.indexOf('\n') + 1), 1},
        {"bad dword", good + QStringLiteral("\"Bad\"=dword:1234567x\r\n"), 8},
        {"dword too long", good + QStringLiteral("\"Bad\"=dword:123456789\r\n"), 8},
        {"open quote", good + QStringLiteral("\"Bad\"=\"abc\r\n"), 8},
        {"unknown escape", good + QStringLiteral("\"Bad\"=\"C:\\Temp\"\r\n"), 8},
        {"text after quote", good + QStringLiteral("\"Bad\"=\"a\" b\r\n"), 8},
        {"unknown root", good + QStringLiteral("[HKEY_CLASSES_ROOT\\x]\r\n"), 8},
        {"key without ]", good + QStringLiteral("[HKEY_CURRENT_USER\\x\r\n"), 8},
        {"delete a root", good + QStringLiteral("[-HKEY_CURRENT_USER]\r\n"), 8},
        {"bad hex byte", good + QStringLiteral("\"Bad\"=hex:01,02,\\\r\n  03,zz\r\n"), 8},
        {"hex past the end", good + QStringLiteral("\"Bad\"=hex:01,02,\\\r\n"), 8},
        {"bad hex type", good + QStringLiteral("\"Bad\"=hex(q):01\r\n"), 8},
        {"odd text bytes", good + QStringLiteral("\"Bad\"=hex(2):41,00,00\r\n"), 8},
        {"unknown data", good + QStringLiteral("\"Bad\"=qword:1\r\n"), 8},
        {"garbage", good + QStringLiteral("\r\ngarbage\r\n"), 9},
        {"no =", good + QStringLiteral("\"Bad\" \"x\"\r\n"), 8},
        {"value before a key",
         QStringLiteral("Windows Registry Editor Version 5.00\r\n\"V\"=\"x\"\r\n"), 2},
    };
    const QString in = sandbox.file(QStringLiteral("bad.reg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writeFile(in, utf16File(c.text));
        const RegRun run = runReg({QStringLiteral("import"), in});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("line %1:").arg(c.line)))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Nothing was imported")))
            << run.err.toStdString();

        TBrevikReg reg;
        QStringList names;
        reg.GetValueNames(QString(), names);
        EXPECT_EQ(names, QStringList{QStringLiteral("Keep")});
        std::unique_ptr<RegistryAccess> access;
        ASSERT_TRUE(reg.GetRegistryAtSection(QString(), access, true));
        EXPECT_EQ(access->ReadString(QStringLiteral("Keep")), QStringLiteral("yes"));
        EXPECT_FALSE(QFile::exists(hiveFilePath(HiveRoot::CurrentUser)));
    }
}

TEST_F(RegTool, MinusDeletesKeysAndValues) {
    const QString in = sandbox.file(QStringLiteral("in.reg"));
    writeFile(in, utf16File(QStringLiteral(
                      "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik]\r\n"
                      "\"Gone\"=\"x\"\r\n\"Stays\"=\"y\"\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Old\\Deep]\r\n"
                      "\"V\"=dword:00000001\r\n")));
    ASSERT_EQ(runReg({QStringLiteral("import"), in}).exitCode, 0);
    writeFile(in,
              utf16File(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                       "; tidy up\r\n"
                                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\old]\r\n"
                                       "\"Ignored\"=\"under a deleted key\"\r\n"
                                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik]\r\n"
                                       "\"gone\"=-\r\n"
                                       "\"Missing\"=-\r\n"
                                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere]\r\n")));
    const RegRun run = runReg({QStringLiteral("import"), in});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    TBrevikReg reg;
    QStringList names;
    reg.GetValueNames(QString(), names);
    EXPECT_EQ(names, QStringList{QStringLiteral("Stays")});
    QStringList keys{QStringLiteral("x")};
    reg.GetKeyNames(QString(), keys);
    EXPECT_TRUE(keys.isEmpty());
}

TEST_F(RegTool, AddQueryAndDeleteLikeReg) {
    const QString key = QStringLiteral("HKLM\\SOFTWARE\\Velmora\\Brevik\\Debug");
    RegRun run =
        runReg({QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("DebugLevel"),
                QStringLiteral("/t"), QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
                QStringLiteral("0x10")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = runReg({QStringLiteral("add"), QStringLiteral("HKLM\\SOFTWARE\\Velmora\\Brevik"),
                  QStringLiteral("/v"), QStringLiteral("Rate"), QStringLiteral("/t"),
                  QStringLiteral("REG_BINARY"), QStringLiteral("/d"),
                  QStringLiteral("000000000000F83F")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = runReg({QStringLiteral("add"),
                  QStringLiteral("HKLM\\SOFTWARE\\Velmora\\Brevik\\Database\\List\\SHOP1"),
                  QStringLiteral("/v"), QStringLiteral("ServerPath"), QStringLiteral("/d"),
                  QStringLiteral("srv:/data/SHOP.GDB")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    {
        TBrevikReg reg;
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), 16);
        EXPECT_EQ(reg.readFloat(QString(), QStringLiteral("Rate")), 1.5);
    }

    run = runReg({QStringLiteral("query"), QStringLiteral("hklm\\software\\velmora\\brevik\\debug"),
                  QStringLiteral("/v"), QStringLiteral("debuglevel")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("    DebugLevel    REG_DWORD    0x10\n")))
        << run.out.toStdString();
    run = runReg({QStringLiteral("query"), QStringLiteral("HKLM\\SOFTWARE\\Velmora\\Brevik")});
    EXPECT_TRUE(run.out.contains(QStringLiteral("    Rate    REG_BINARY    000000000000F83F\n")));
    EXPECT_TRUE(run.out.contains(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Brevik\\Database\n")));

    // Without /f an existing value is only replaced when the answer is yes.
    run = runReg({QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("DebugLevel"),
                  QStringLiteral("/t"), QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
                  QStringLiteral("1")},
                 "n\n");
    EXPECT_EQ(run.exitCode, 1);
    run =
        runReg({QStringLiteral("delete"), key, QStringLiteral("/v"), QStringLiteral("DebugLevel")},
               "no\n");
    EXPECT_EQ(run.exitCode, 1);
    {
        TBrevikReg reg;
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), 16);
    }
    run = runReg({QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("DebugLevel"),
                  QStringLiteral("/t"), QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
                  QStringLiteral("-1")},
                 "yes\n");
    EXPECT_EQ(run.exitCode, 0);
    {
        TBrevikReg reg;
        EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), -1);
    }

    run = runReg({QStringLiteral("delete"), key, QStringLiteral("/f")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = runReg({QStringLiteral("query"), key});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("unable to find")));

    // Bad usage and bad data change nothing.
    const QStringList bad[] = {
        {QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("X"),
         QStringLiteral("/t"), QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
         QStringLiteral("12a")},
        {QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("X"),
         QStringLiteral("/t"), QStringLiteral("REG_BINARY"), QStringLiteral("/d"),
         QStringLiteral("ABC")},
        {QStringLiteral("add"), key, QStringLiteral("/v"), QStringLiteral("X"),
         QStringLiteral("/t"), QStringLiteral("REG_MULTI_SZ"), QStringLiteral("/d"),
         QStringLiteral("a")},
        {QStringLiteral("add"), QStringLiteral("HKCR\\x")},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("delete"), QStringLiteral("HKLM"), QStringLiteral("/f")},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        run = runReg(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("ERROR:"))) << run.err.toStdString();
    }
    TBrevikReg reg;
    QStringList keys;
    reg.GetKeyNames(QString(), keys);
    EXPECT_EQ(keys, QStringList{QStringLiteral("Database")});
}

TEST_F(RegTool, MachineHiveThatCannotBeWrittenIsAnError) {
    sandbox.setMachineHive(sandbox.unwritablePath(QStringLiteral("machine")));
    const RegRun run = runReg(
        {QStringLiteral("add"), QStringLiteral("HKLM\\SOFTWARE\\Velmora\\Brevik"),
         QStringLiteral("/v"), QStringLiteral("X"), QStringLiteral("/d"), QStringLiteral("y")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("ERROR:"))) << run.err.toStdString();
}

TEST(RegFile, HexDataWrapsAsRegeditWrapsIt) {
    // Two values as a Windows registry editor exported them.
    const QString photo =
        QStringLiteral("%SystemRoot%\\System32\\rundll32.exe \"%ProgramFiles%\\Windows Photo "
                       "Viewer\\PhotoViewer.dll\", ImageView_Fullscreen %1");
    EXPECT_EQ(
        regValueLine(HiveValue::fromText(QString(), photo, RegType::ExpandString)),
        QStringLiteral(
            "@=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\\r\n"
            "  00,5c,00,53,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,72,00,75,00,\\\r\n"
            "  6e,00,64,00,6c,00,6c,00,33,00,32,00,2e,00,65,00,78,00,65,00,20,00,22,00,25,\\\r\n"
            "  00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,00,65,00,73,00,\\\r\n"
            "  25,00,5c,00,57,00,69,00,6e,00,64,00,6f,00,77,00,73,00,20,00,50,00,68,00,6f,\\\r\n"
            "  00,74,00,6f,00,20,00,56,00,69,00,65,00,77,00,65,00,72,00,5c,00,50,00,68,00,\\\r\n"
            "  6f,00,74,00,6f,00,56,00,69,00,65,00,77,00,65,00,72,00,2e,00,64,00,6c,00,6c,\\\r\n"
            "  00,22,00,2c,00,20,00,49,00,6d,00,61,00,67,00,65,00,56,00,69,00,65,00,77,00,\\\r\n"
            "  5f,00,46,00,75,00,6c,00,6c,00,73,00,63,00,72,00,65,00,65,00,6e,00,20,00,25,\\\r\n"
            "  00,31,00,00,00"));
    EXPECT_EQ(
        regValueLine(HiveValue::fromText(
            QStringLiteral("FriendlyTypeName"),
            QStringLiteral("@%ProgramFiles%\\Windows Photo Viewer\\PhotoViewer.dll,-3056"),
            RegType::ExpandString)),
        QStringLiteral(
            "\"FriendlyTypeName\"=hex(2):40,00,25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,\\\r\n"
            "  00,46,00,69,00,6c,00,65,00,73,00,25,00,5c,00,57,00,69,00,6e,00,64,00,6f,00,\\\r\n"
            "  77,00,73,00,20,00,50,00,68,00,6f,00,74,00,6f,00,20,00,56,00,69,00,65,00,77,\\\r\n"
            "  00,65,00,72,00,5c,00,50,00,68,00,6f,00,74,00,6f,00,56,00,69,00,65,00,77,00,\\\r\n"
            "  65,00,72,00,2e,00,64,00,6c,00,6c,00,2c,00,2d,00,33,00,30,00,35,00,36,00,00,\\\r\n"
            "  00"));
}

TEST(RegFile, TextThatCannotBeQuotedTravelsAsHexAndComesBack) {
    const HiveValue note =
        HiveValue::fromText(QStringLiteral("Note"), QStringLiteral("two\r\nlines"));
    const QString line = regValueLine(note);
    EXPECT_TRUE(line.startsWith(QStringLiteral("\"Note\"=hex(1):74,00,77,00,6f,00,0d,00,0a,00,")))
        << line.toStdString();
    const auto changes = parseRegFile(
        encodeRegFile(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\K]\r\n") +
                      line + QStringLiteral("\r\n")));
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[1].kind, RegChange::Kind::SetValue);
    EXPECT_EQ(changes[1].key.root, HiveRoot::CurrentUser);
    EXPECT_EQ(changes[1].key.path, QStringLiteral("K"));
    EXPECT_TRUE(changes[1].value.sameData(note));
}

} // namespace
