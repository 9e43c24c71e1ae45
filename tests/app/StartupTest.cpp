// The program's start-up steps: the visual style and its error box, the icon beside the
// program, the title and font, the log object and program folder; the developer options.

#include "AppTestSupport.h"
#include "app/AppIcon.h"
#include "app/AppOptions.h"
#include "app/UiFont.h"
#include "env/Locations.h"
#include "env/Log.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QImage>

using namespace app_testing;

namespace {

// Puts the real style back for the tests that follow.
class StyleRestorer final {
public:
    ~StyleRestorer() { EXPECT_TRUE(applyVisualStyle(*qApp).isEmpty()); }
};

TEST(StartupTest, VisualStyleIsAppliedFromTheResourcesOrReportedInAnErrorBox) {
    applyProgramStartup();
    StyleRestorer restore;
    ::TempDir dir;
    auto write = [&](const char* name, const QByteArray& text) {
        QFile f(dir.file(QLatin1String(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    };
    struct Case {
        const char* name;
        QString file;
        bool applies;
    };
    const Case cases[] = {
        {"the style in the resources", kAquaGraphite, true},
        {"a missing style sheet", dir.file(QStringLiteral("missing.qss")), false},
        {"an empty style sheet", write("empty.qss", "  \n"), false},
        {"a style sheet that does not parse", write("broken.qss", "QWidget { color: red; \n"),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Start from the default look each time.
        qApp->setStyleSheet(QString());
        MessageAnswerer messages;
        EXPECT_EQ(setUpVisualStyle(*qApp, c.file), c.applies);
        if (c.applies) {
            EXPECT_TRUE(messages.seen.empty());
            EXPECT_FALSE(qApp->styleSheet().isEmpty());
            // Graphite face, aqua accent.
            const QColor face = QApplication::palette().color(QPalette::Button);
            EXPECT_LT(std::abs(face.red() - face.blue()), 24);
            EXPECT_LT(face.lightness(), 128);
            const QColor accent = QApplication::palette().color(QPalette::Highlight);
            EXPECT_GT(accent.blue(), accent.red() + 80);
            EXPECT_GT(accent.green(), accent.red() + 80);
        } else {
            ASSERT_EQ(messages.seen.size(), 1u);
            EXPECT_TRUE(messages.seen[0].plainBox);
            EXPECT_EQ(messages.seen[0].icon, QMessageBox::Critical);
            EXPECT_TRUE(messages.seen[0].text.contains(QStringLiteral("\"Aqua Graphite\"")))
                << messages.seen[0].text.toStdString();
            // The default look stays.
            EXPECT_TRUE(qApp->styleSheet().isEmpty());
        }
    }
}

TEST(StartupTest, ApplicationIsTitledAndUsesTheWindowFont) {
    applyProgramStartup();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("Pellisar"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Pellisar"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_EQ(QApplication::font().family(), uiFontFamily());
    EXPECT_EQ(QApplication::font().pixelSize(), 13);
}

QColor iconColour(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

TEST(StartupTest, IconBesideTheProgramReplacesTheBuiltInOne) {
    ::TempDir dir;
    const QString program = dir.file(QStringLiteral("bin/dolvane"));
    QDir().mkpath(dir.file(QStringLiteral("bin/Res")));
    setModuleNameOverride(program);
    EXPECT_EQ(brevikIconFile(), dir.file(QStringLiteral("bin/Res/Brevik.ico")));

    // None there: the built-in icon.
    const QIcon builtIn = builtInIcon();
    ASSERT_FALSE(builtIn.isNull());
    EXPECT_EQ(iconColour(applicationIcon()), iconColour(builtIn));

    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(QColor(200, 30, 160));
    ASSERT_TRUE(picture.save(brevikIconFile(), "ICO"));
    EXPECT_EQ(iconColour(applicationIcon()), QColor(200, 30, 160));

    setModuleNameOverride(QString());
}

TEST(StartupTest, LogObjectAndProgramFolderLiveFromStartUpToTheEnd) {
    ::TempDir dir;
    setLogsFolderOverride(dir.file(QStringLiteral("logs")));
    setModuleNameOverride(dir.file(QStringLiteral("bin/dolvane")));
    QDir().mkpath(dir.file(QStringLiteral("bin")));
    {
        StartupUnits units;
        // The one log object of the process exists: a second is refused.
        EXPECT_THROW(CLog second, SilentAbort);
        EXPECT_FALSE(clientRoot().isEmpty());
        EXPECT_TRUE(clientRoot().endsWith(u'/'));
        DebugOut(QStringLiteral("start-up test line"));
        const QStringList logs = QDir(dir.file(QStringLiteral("logs"))).entryList(QDir::Files);
        ASSERT_EQ(logs.size(), 1);
        QFile log(dir.file(QStringLiteral("logs/")) + logs.first());
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().contains("start-up test line"));
    }
    // Released at the end: a new one can be made, and nothing is written without one.
    EXPECT_NO_THROW(CLog again);
    setModuleNameOverride(QString());
    setLogsFolderOverride(QString());
}

TEST(AppOptionsTest, DeveloperOptionsAreParsed) {
    struct Case {
        const char* name;
        QStringList args;
        bool ok;
        bool run;
        std::vector<int> ticks;
        std::optional<bool> priorTo;
        QDate cutOff;
        std::optional<int> answer;
        bool compress;
    };
    const Case cases[] = {
        {"none", {}, true, false, {}, std::nullopt, {}, std::nullopt, true},
        {"a timed run",
         {"--run", "/data/SHOP.GDB", "--tick", "1", "--tick", "6", "--prior-to", "01/01/2023",
          "--answer-no"},
         true,
         true,
         {1, 6},
         true,
         QDate(2023, 1, 1),
         7,
         true},
        {"iso date, yes, no compression",
         {"--drop", "/data/SHOP.GDB", "--prior-to", "2022-07-31", "--answer-yes", "--no-compress"},
         true,
         false,
         {},
         true,
         QDate(2022, 7, 31),
         6,
         false},
        {"remove all", {"--all"}, true, false, {}, false, {}, std::nullopt, true},
        {"both modes",
         {"--all", "--prior-to", "01/01/2023"},
         false,
         false,
         {},
         std::nullopt,
         {},
         std::nullopt,
         true},
        {"an unknown category",
         {"--tick", "10"},
         false,
         false,
         {},
         std::nullopt,
         {},
         std::nullopt,
         true},
        {"a bad date",
         {"--prior-to", "31/02/2023"},
         false,
         false,
         {},
         std::nullopt,
         {},
         std::nullopt,
         true},
        {"two files",
         {"--drop", "/a.GDB", "--run", "/b.GDB"},
         false,
         false,
         {},
         std::nullopt,
         {},
         std::nullopt,
         true},
        {"two answers",
         {"--answer-yes", "--answer-no"},
         false,
         false,
         {},
         std::nullopt,
         {},
         std::nullopt,
         true},
        {"a missing value", {"--run"}, false, false, {}, std::nullopt, {}, std::nullopt, true},
        {"an unknown option", {"--fast"}, false, false, {}, std::nullopt, {}, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto o = parseAppArguments(c.args, &error);
        ASSERT_EQ(o.has_value(), c.ok) << error.toStdString();
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(o->run, c.run);
        EXPECT_EQ(o->ticks, c.ticks);
        EXPECT_EQ(o->priorTo, c.priorTo);
        EXPECT_EQ(o->cutOff, c.cutOff);
        EXPECT_EQ(o->answer, c.answer);
        EXPECT_EQ(o->compress, c.compress);
    }
    QString error;
    EXPECT_EQ(parseAppArguments({"--run", "/data/SHOP.GDB"}, &error)->drop,
              QStringLiteral("/data/SHOP.GDB"));
}

} // namespace
