#include "app/AppStartup.h"

#include "app/AppIcon.h"
#include "app/PlainMessages.h"
#include "app/UiFont.h"
#include "env/Locations.h"
#include "env/RunFolder.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QWidget>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void registerAppResources() {
    Q_INIT_RESOURCE(dolvane);
}

void initAppResources() {
    static const bool done = (registerAppResources(), true);
    Q_UNUSED(done);
}

StartupUnits::StartupUnits() : fLog(std::make_unique<CLog>()) {
    // Nothing to initialise for COM on this platform; the program folder needs the
    // settings store.
    InitUUtils();
    // Work folders of runs that crashed or were killed take disk space for ever otherwise.
    sweepStaleRunFolders();
}

StartupUnits::~StartupUnits() = default;

void initialiseApplication(QApplication& app) {
    app.setWindowIcon(applicationIcon());
    app.setApplicationName(QStringLiteral("dolvane"));
    app.setApplicationDisplayName(kApplicationTitle);
    // Widgets under a style sheet take the application's font, not their parent's.
    QApplication::setFont(uiFont());
}

namespace {

// Graphite greys with an aqua accent. The style sheet refers to these roles.
QPalette aquaGraphitePalette() {
    const QColor face(0x3B, 0x40, 0x46);
    const QColor base(0x2C, 0x30, 0x35);
    const QColor text(0xE4, 0xE7, 0xEA);
    const QColor disabledText(0x7F, 0x86, 0x8D);
    const QColor aqua(0x25, 0xB5, 0xC9);

    QPalette p;
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, face);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x33, 0x38, 0x3E));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::PlaceholderText, disabledText);
    p.setColor(QPalette::Light, QColor(0x5A, 0x60, 0x67));
    p.setColor(QPalette::Midlight, QColor(0x4A, 0x50, 0x56));
    p.setColor(QPalette::Mid, QColor(0x30, 0x34, 0x39));
    p.setColor(QPalette::Dark, QColor(0x24, 0x28, 0x2C));
    p.setColor(QPalette::Shadow, QColor(0x17, 0x1A, 0x1D));
    p.setColor(QPalette::Highlight, aqua);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, aqua);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    return p;
}

// Qt reports a style sheet it cannot parse only as a warning, when a widget is first
// styled; this catches that warning.
QString& parseWarning() {
    static QString text;
    return text;
}
QtMessageHandler gPreviousHandler = nullptr;

void catchParseWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.contains(QLatin1String("Could not parse")))
        parseWarning() = text;
    else if (gPreviousHandler)
        gPreviousHandler(type, context, text);
}

} // namespace

QString applyVisualStyle(QApplication& app, const QString& styleSheetFile) {
    initAppResources();
    const QString failed =
        QStringLiteral("The visual style \"Aqua Graphite\" could not be applied.");
    QFile file(styleSheetFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return failed + QLatin1Char('\n') + file.errorString();
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty())
        return failed + QStringLiteral("\nThe style sheet is empty.");

    const QPalette previousPalette = app.palette();
    app.setPalette(aquaGraphitePalette());

    parseWarning().clear();
    gPreviousHandler = qInstallMessageHandler(catchParseWarning);
    app.setStyleSheet(sheet);
    {
        // Styling one widget makes Qt parse the sheet now, not at the first window.
        QWidget probe;
        probe.ensurePolished();
    }
    qInstallMessageHandler(gPreviousHandler);
    gPreviousHandler = nullptr;

    if (!parseWarning().isEmpty()) {
        app.setStyleSheet(QString());
        app.setPalette(previousPalette);
        return failed + QLatin1Char('\n') + parseWarning();
    }
    return QString();
}

bool setUpVisualStyle(QApplication& app, const QString& styleSheetFile) {
    const QString error = applyVisualStyle(app, styleSheetFile);
    if (error.isEmpty())
        return true;
    plainMessageBox(nullptr, error, QString(), QMessageBox::Critical);
    return false;
}
