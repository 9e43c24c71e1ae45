#include "env/SettingsStore.h"
#include "HiveSandbox.h"
#include "env/Locations.h"

#include <QLocale>
#include <QProcess>
#include <QtEndian>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

QString sectionKey(const QString& section) {
    return section.isEmpty() ? kProductKey : kProductKey + QLatin1Char('\\') + section;
}

// What the hive file holds, read past the store (no write-back).
std::optional<HiveValue> stored(HiveRoot root, const QString& section, const QString& name) {
    const Hive hive(hiveFilePath(root), Hive::Access::Read);
    const auto key = hive.findKey(sectionKey(section));
    if (!key)
        return std::nullopt;
    return hive.value(*key, name);
}

bool keyStored(HiveRoot root, const QString& section) {
    const Hive hive(hiveFilePath(root), Hive::Access::Read);
    return hive.findKey(sectionKey(section)).has_value();
}

void store(HiveRoot root, const QString& section, const HiveValue& value) {
    Hive hive(hiveFilePath(root), Hive::Access::Write);
    hive.setValue(hive.createKey(sectionKey(section)), value);
}

QByteArray doubleBytes(double value) {
    QByteArray raw(8, '\0');
    qToLittleEndian(value, raw.data());
    return raw;
}

class BrevikReg : public ::testing::Test {
protected:
    HiveSandbox sandbox;
};

TEST_F(BrevikReg, ReadOfMissingIntegerOnFreshUserRootLeavesItsDefault) {
    sandbox.setMachineHive(sandbox.unwritablePath(QStringLiteral("machine")));
    TBrevikReg reg;
    ASSERT_EQ(reg.root(), HiveRoot::CurrentUser);

    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), 0);

    const auto value =
        stored(HiveRoot::CurrentUser, QStringLiteral("Debug"), QStringLiteral("DebugLevel"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::DWord);
    EXPECT_EQ(value->integer, 0);
}

TEST_F(BrevikReg, ReadWritesBackInTheModesKind) {
    TBrevikReg reg;
    ASSERT_EQ(reg.root(), HiveRoot::LocalMachine);
    store(HiveRoot::LocalMachine, QStringLiteral("Debug"),
          HiveValue::fromInteger(QStringLiteral("DebugLevel"), 5));

    EXPECT_EQ(reg.ReadString(QStringLiteral("Debug"), QStringLiteral("DebugLevel"),
                             QStringLiteral("9"), 1),
              QStringLiteral("5"));
    auto value =
        stored(HiveRoot::LocalMachine, QStringLiteral("Debug"), QStringLiteral("DebugLevel"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::DWord);
    EXPECT_EQ(value->integer, 5);

    // A missing text setting is created with its default.
    EXPECT_EQ(
        reg.ReadString(QString(), QStringLiteral("ProgramFolder"), QStringLiteral("/opt/x"), 0),
        QStringLiteral("/opt/x"));
    value = stored(HiveRoot::LocalMachine, QString(), QStringLiteral("ProgramFolder"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::String);
    EXPECT_EQ(value->text, QStringLiteral("/opt/x"));

    // A missing integer in a section that does not exist yet: key and value appear.
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("A\\B"), QStringLiteral("N"), -3), -3);
    value = stored(HiveRoot::LocalMachine, QStringLiteral("a\\b"), QStringLiteral("n"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->integer, -3);
}

TEST_F(BrevikReg, ReadOfAnotherKindRaisesErrorNamingTheValueAndWritesNothingBack) {
    struct Case {
        const char* label;
        HiveValue value;
        int mode;
        const char* result; // nullptr: the read raises
    };
    const Case cases[] = {
        {"text as text", HiveValue::fromText("V", "abc"), 0, "abc"},
        {"text as integer", HiveValue::fromText("V", "12"), 1, nullptr},
        {"text as float", HiveValue::fromText("V", "1.5"), 2, nullptr},
        {"integer as text", HiveValue::fromInteger("V", 7), 0, nullptr},
        {"integer as integer", HiveValue::fromInteger("V", -7), 1, "-7"},
        {"integer as float", HiveValue::fromInteger("V", 7), 2, nullptr},
        {"4 bytes as float", HiveValue::fromBytes("V", QByteArray(4, '\1')), 2, nullptr},
        {"9 bytes as float", HiveValue::fromBytes("V", QByteArray(9, '\1')), 2, nullptr},
        {"float as text", HiveValue::fromDouble("V", 2.5), 0, nullptr},
        {"float as integer", HiveValue::fromDouble("V", 2.5), 1, nullptr},
        {"float as float", HiveValue::fromDouble("V", 2.5), 2, "2.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        store(HiveRoot::LocalMachine, QStringLiteral("Kinds"), c.value);
        TBrevikReg reg;
        if (c.result) {
            EXPECT_EQ(
                reg.ReadString(QStringLiteral("Kinds"), QStringLiteral("v"), QString(), c.mode),
                QString::fromUtf8(c.result));
        } else {
            try {
                reg.ReadString(QStringLiteral("Kinds"), QStringLiteral("V"), QStringLiteral("0"),
                               c.mode);
                ADD_FAILURE() << "no error";
            } catch (const HiveTypeError& e) {
                EXPECT_STREQ(e.what(), "Invalid data type for 'V'");
            }
        }
        const auto after =
            stored(HiveRoot::LocalMachine, QStringLiteral("Kinds"), QStringLiteral("V"));
        ASSERT_TRUE(after);
        EXPECT_TRUE(after->sameData(c.value));
    }

    // ReadInteger does not fall back to its default for a text value: the error goes through.
    store(HiveRoot::LocalMachine, QStringLiteral("Debug"), HiveValue::fromText("DebugLevel", "4"));
    TBrevikReg reg;
    EXPECT_THROW(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0),
                 HiveTypeError);
}

TEST_F(BrevikReg, FloatKindKeepsTheEightBytesAndReadingNeverChangesThem) {
    TBrevikReg reg;
    reg.writeFloat(QStringLiteral("F"), QStringLiteral("Rate"), 1.25);
    auto value = stored(HiveRoot::LocalMachine, QStringLiteral("F"), QStringLiteral("Rate"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Binary);
    EXPECT_EQ(value->bytes, doubleBytes(1.25));
    EXPECT_DOUBLE_EQ(reg.readFloat(QStringLiteral("F"), QStringLiteral("Rate")), 1.25);

    // 0.1 + 0.2 needs 17 digits; its 15-digit text is 0.3, yet the stored bits stay.
    const double exact = 0.1 + 0.2;
    store(HiveRoot::LocalMachine, QStringLiteral("F"), HiveValue::fromDouble("Exact", exact));
    EXPECT_EQ(reg.ReadString(QStringLiteral("F"), QStringLiteral("Exact"), QStringLiteral("0"), 2),
              QStringLiteral("0.3"));
    value = stored(HiveRoot::LocalMachine, QStringLiteral("F"), QStringLiteral("Exact"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, doubleBytes(exact));

    // A missing float reads as 0 and is left as 0.
    EXPECT_EQ(reg.readFloat(QStringLiteral("F"), QStringLiteral("Missing")), 0.0);
    value = stored(HiveRoot::LocalMachine, QStringLiteral("F"), QStringLiteral("Missing"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->bytes, doubleBytes(0.0));
}

TEST_F(BrevikReg, FloatTextUsesTheLocalesDecimalSeparator) {
    const QLocale saved;
    struct Case {
        QLocale locale;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedKingdom), 1234.5, "1234.5"},
        {QLocale(QLocale::German, QLocale::Germany), 1234.5, "1234,5"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), 1e20, "1E+20"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), 123456789012345678.0,
         "1.23456789012346E+17"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), -0.25, "-0.25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QLocale::setDefault(c.locale);
        TBrevikReg reg;
        reg.WriteString(QStringLiteral("F"), QStringLiteral("L"), QString::fromUtf8(c.text), 2);
        EXPECT_EQ(reg.ReadString(QStringLiteral("F"), QStringLiteral("L"), QString(), 2),
                  QString::fromUtf8(c.text));
        EXPECT_DOUBLE_EQ(reg.readFloat(QStringLiteral("F"), QStringLiteral("L")),
                         c.locale.toDouble(QString::fromUtf8(c.text)));
    }
    QLocale::setDefault(saved);
}

TEST_F(BrevikReg, NumberWritesOfTextThatIsNoNumberRaiseConversionErrors) {
    TBrevikReg reg;
    EXPECT_THROW(
        reg.WriteString(QStringLiteral("N"), QStringLiteral("I"), QStringLiteral("12a"), 1),
        ConversionError);
    EXPECT_THROW(
        reg.WriteString(QStringLiteral("N"), QStringLiteral("I"), QStringLiteral("99999999999"), 1),
        ConversionError);
    EXPECT_THROW(reg.WriteString(QStringLiteral("N"), QStringLiteral("F"), QStringLiteral("x"), 2),
                 ConversionError);
    EXPECT_FALSE(stored(HiveRoot::LocalMachine, QStringLiteral("N"), QStringLiteral("I")));
    // Any other mode is text.
    reg.WriteString(QStringLiteral("N"), QStringLiteral("T"), QStringLiteral("12a"), 7);
    const auto value = stored(HiveRoot::LocalMachine, QStringLiteral("N"), QStringLiteral("T"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::String);
}

TEST_F(BrevikReg, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
    TBrevikReg reg;
    reg.WriteInteger(QStringLiteral("Database\\List\\Shop1"), QStringLiteral("Colour"), 1);
    reg.WriteInteger(QStringLiteral("DATABASE\\LIST\\SHOP1"), QStringLiteral("COLOUR"), 2);
    reg.WriteString(QStringLiteral("database\\list\\shop1"), QStringLiteral("LocalPath"),
                    QStringLiteral("/d"), 0);

    QStringList keys;
    reg.GetKeyNames(QStringLiteral("database\\LIST"), keys);
    EXPECT_EQ(keys, QStringList{QStringLiteral("Shop1")});
    QStringList values;
    reg.GetValueNames(QStringLiteral("Database\\List\\SHOP1"), values);
    EXPECT_EQ(values, (QStringList{QStringLiteral("Colour"), QStringLiteral("LocalPath")}));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("database\\list\\shop1"), QStringLiteral("colour"), 0),
              2);
    QStringList top;
    reg.GetKeyNames(QString(), top);
    EXPECT_EQ(top, QStringList{QStringLiteral("Database")});
}

TEST_F(BrevikReg, RootIsMachineWideWhenItsHiveCanBeWrittenAndConstructionCreatesTheProductKey) {
    TBrevikReg reg;
    EXPECT_EQ(reg.root(), HiveRoot::LocalMachine);
    EXPECT_TRUE(keyStored(HiveRoot::LocalMachine, QString()));
    EXPECT_FALSE(QFile::exists(hiveFilePath(HiveRoot::CurrentUser)));
}

TEST_F(BrevikReg, UnwritableMachineHiveLeavesEverythingUnderTheCurrentUser) {
    // The machine-wide hive already holds the product key and a setting.
    store(HiveRoot::LocalMachine, QStringLiteral("Debug"), HiveValue::fromInteger("DebugLevel", 4));
    const QString machine = hiveFilePath(HiveRoot::LocalMachine);
    // ... but this process cannot write it (its path below a regular file stands for that).
    sandbox.setMachineHive(sandbox.unwritablePath(QStringLiteral("machine")));

    TBrevikReg reg;
    EXPECT_EQ(reg.root(), HiveRoot::CurrentUser);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0), 0);
    reg.setLastDB(QStringLiteral("Shop"));
    EXPECT_EQ(
        stored(HiveRoot::CurrentUser, QStringLiteral("Database"), QStringLiteral("DefaultDatabase"))
            ->text,
        QStringLiteral("Shop"));
    EXPECT_FALSE(QFile::exists(hiveFilePath(HiveRoot::LocalMachine)));

    sandbox.setMachineHive(machine);
    EXPECT_EQ(stored(HiveRoot::LocalMachine, QStringLiteral("Debug"), QStringLiteral("DebugLevel"))
                  ->integer,
              4);
}

TEST_F(BrevikReg, WritesThatCannotBeMadeAreSkippedWithoutAWord) {
    sandbox.setMachineHive(sandbox.unwritablePath(QStringLiteral("machine")));
    sandbox.setUserHive(sandbox.unwritablePath(QStringLiteral("user")));
    TBrevikReg reg;
    EXPECT_NO_THROW(
        reg.WriteString(QStringLiteral("S"), QStringLiteral("V"), QStringLiteral("x"), 0));
    EXPECT_NO_THROW(reg.WriteInteger(QStringLiteral("S"), QStringLiteral("I"), 3));
    // Not even the conversion is attempted when nothing can be written.
    EXPECT_NO_THROW(
        reg.WriteString(QStringLiteral("S"), QStringLiteral("I"), QStringLiteral("abc"), 1));
    EXPECT_EQ(reg.ReadString(QStringLiteral("S"), QStringLiteral("V"), QStringLiteral("dflt"), 0),
              QStringLiteral("dflt"));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("S"), QStringLiteral("I"), 11), 11);
    EXPECT_NO_THROW(reg.deleteSection(QStringLiteral("S")));
    QStringList list{QStringLiteral("kept")};
    reg.GetValueNames(QStringLiteral("S"), list);
    EXPECT_EQ(list, QStringList{QStringLiteral("kept")});
}

TEST_F(BrevikReg, DeleteKeyRemovesOneValueAndDeleteSectionTheWholeKey) {
    TBrevikReg reg;
    reg.WriteString(QStringLiteral("Database\\List\\SHOP1"), QStringLiteral("LocalPath"),
                    QStringLiteral("/a"), 0);
    reg.WriteString(QStringLiteral("Database\\List\\SHOP1\\Deep"), QStringLiteral("X"),
                    QStringLiteral("y"), 0);
    reg.WriteString(QStringLiteral("Database\\List\\SHOP2"), QStringLiteral("LocalPath"),
                    QStringLiteral("/b"), 0);
    reg.WriteInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 1);
    reg.WriteInteger(QStringLiteral("Debug"), QStringLiteral("Other"), 1);

    reg.deleteKey(QStringLiteral("Debug"), QStringLiteral("debuglevel"));
    QStringList values;
    reg.GetValueNames(QStringLiteral("Debug"), values);
    EXPECT_EQ(values, QStringList{QStringLiteral("Other")});

    reg.deleteSection(QStringLiteral("Database\\List\\shop1"));
    QStringList keys;
    reg.GetKeyNames(QStringLiteral("Database\\List"), keys);
    EXPECT_EQ(keys, QStringList{QStringLiteral("SHOP2")});
    EXPECT_FALSE(keyStored(HiveRoot::LocalMachine, QStringLiteral("Database\\List\\SHOP1\\Deep")));

    // No "\": the key right below the product key.
    reg.deleteSection(QStringLiteral("Debug"));
    keys.clear();
    reg.GetKeyNames(QString(), keys);
    EXPECT_EQ(keys, QStringList{QStringLiteral("Database")});

    // The empty section never deletes the product key itself.
    reg.deleteSection(QString());
    EXPECT_TRUE(keyStored(HiveRoot::LocalMachine, QStringLiteral("Database\\List\\SHOP2")));
}

TEST_F(BrevikReg, CommandSequenceIsReturnedOnceThenEmpty) {
    setModuleNameOverride(QStringLiteral("/opt/velmora/BrevikPos"));
    TBrevikReg reg;
    reg.SetCommandSequence(QStringLiteral("BrevikPos"), QStringLiteral("OPEN SHOP1"));
    EXPECT_EQ(reg.GetCommandSequence(QString()), QStringLiteral("OPEN SHOP1"));
    EXPECT_EQ(reg.GetCommandSequence(QString()), QString());
    const auto value = stored(HiveRoot::LocalMachine, QStringLiteral("IDEx\\BrevikPos"),
                              QStringLiteral("COMMAND"));
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::String);
    EXPECT_EQ(value->text, QString());

    // Another program's command is read (with write-back) but only our own is cleared.
    reg.SetCommandSequence(QStringLiteral("Other"), QStringLiteral("GO"));
    EXPECT_EQ(reg.GetCommandSequence(QStringLiteral("Other")), QStringLiteral("GO"));
    EXPECT_EQ(reg.GetCommandSequence(QStringLiteral("Other")), QStringLiteral("GO"));
    setModuleNameOverride(QString());
}

TEST_F(BrevikReg, LastDatabaseAndUser) {
    TBrevikReg reg;
    reg.setLastDB(QStringLiteral("MyShop"));
    EXPECT_EQ(reg.getLastDB(), QStringLiteral("MYSHOP"));
    reg.setLastDB(QStringLiteral("café-ß"));
    EXPECT_EQ(reg.getLastDB(), QStringLiteral("CAFé-ß"));
    EXPECT_EQ(reg.getLastUser(), QString());
    reg.setLastUser(QStringLiteral("Manager"));
    EXPECT_EQ(reg.getLastUser(), QStringLiteral("Manager"));
}

TEST(Hive, ErrorsCarrySQLitesOwnMessage) {
    HiveSandbox sandbox;
    const QString path = sandbox.file(QStringLiteral("garbage.sqlite"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    try {
        Hive hive(path, Hive::Access::Write);
        ADD_FAILURE() << "opened";
    } catch (const HiveError& e) {
        EXPECT_NE(std::string(e.what()).find("file is not a database"), std::string::npos)
            << e.what();
    }
    // Through the store such a hive is a key that cannot be opened.
    sandbox.setMachineHive(path);
    sandbox.setUserHive(path);
    TBrevikReg reg;
    EXPECT_EQ(reg.ReadString(QStringLiteral("S"), QStringLiteral("V"), QStringLiteral("d"), 0),
              QStringLiteral("d"));
}

TEST(Hive, ValuesEnumerateInCreationOrderAndKeysSortedByUpperCaseName) {
    HiveSandbox sandbox;
    Hive hive(sandbox.file(QStringLiteral("h.sqlite")), Hive::Access::Write);
    const auto key = hive.createKey(QStringLiteral("K"));
    for (const char* name : {"zeta", "Alpha", "mid"})
        hive.setValue(key, HiveValue::fromText(QString::fromUtf8(name), QStringLiteral("x")));
    hive.setValue(key, HiveValue::fromText(QStringLiteral("ALPHA"), QStringLiteral("y")));
    EXPECT_EQ(hive.valueNames(key), (QStringList{"zeta", "Alpha", "mid"}));
    EXPECT_EQ(hive.value(key, QStringLiteral("alpha"))->text, QStringLiteral("y"));
    // "_" sorts after the letters when names are compared in upper case.
    for (const char* name : {"b_x", "BZ", "a"})
        hive.createKey(QStringLiteral("K\\") + QString::fromUtf8(name));
    EXPECT_EQ(hive.subKeyNames(key), (QStringList{"a", "BZ", "b_x"}));
    EXPECT_TRUE(hive.deleteSubKey(Hive::rootKey(), QStringLiteral("k")));
    EXPECT_FALSE(hive.findKey(QStringLiteral("K\\a")));
}

TEST(Hive, SeveralProcessesWritingAtOnceLoseNothing) {
    HiveSandbox sandbox;
    constexpr int kWriters = 3;
    constexpr int kWrites = 150;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(DOLVANE_HIVE_WRITER),
                       {QStringLiteral("W%1").arg(w), QString::number(kWrites)});
        writers.push_back(std::move(process));
    }
    for (auto& process : writers) {
        ASSERT_TRUE(process->waitForFinished(300000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
    }

    TBrevikReg reg;
    QStringList names;
    reg.GetValueNames(QStringLiteral("Concurrency"), names);
    EXPECT_EQ(names.size(), kWriters * kWrites);
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kWrites; ++i) {
            const QString name = QStringLiteral("W%1_%2").arg(w).arg(i);
            const auto value = stored(HiveRoot::LocalMachine, QStringLiteral("Concurrency"), name);
            ASSERT_TRUE(value) << name.toStdString();
            EXPECT_EQ(value->text, QString::number(i));
        }
    }
}

} // namespace
