#include "app/AppDriver.h"

#include "app/CategoryTreeView.h"
#include "app/MainWindow.h"
#include "app/PlainMessages.h"
#include "common/DateTime.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/DateField.h"
#include "common/ui/MessageDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <cstdio>

namespace {

void printLine(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace

AppDriver::AppDriver(TfmMain& window, AppOptions options)
    : fWindow(window), fOptions(std::move(options)) {}

AppDriver::~AppDriver() {
    setMessageDialogHook({});
    setPlainMessageHook({});
}

void AppDriver::start() {
    QMetaObject::invokeMethod(
        this, [this] { perform(); }, Qt::QueuedConnection);
}

void AppDriver::perform() {
    if (fOptions.answer)
        answerMessages();
    if (!fOptions.drop.isEmpty())
        dropFile();
    // The drop is handled once the drop event has returned.
    QCoreApplication::processEvents();
    clickTicks();
    chooseMode();
    fWindow.setCompress(fOptions.compress);

    if (fOptions.run) {
        pressStart();
        return;
    }
    if (!fOptions.screenshot.isEmpty())
        QCoreApplication::exit(saveScreenshot() ? 0 : 1);
}

void AppDriver::answerMessages() {
    const int answer = *fOptions.answer;
    setMessageDialogHook([answer](TMessageForm& form) {
        printLine(QStringLiteral("Message: ") + form.MsgLabel()->text());
        // A question has Yes and No; everything else one button.
        const bool question = form.cmButtonArray().size() == 2;
        QPushButton* button = form.buttonForCaption(question && answer == 7 ? 1 : 0);
        if (button)
            button->click();
        if (form.isVisible())
            form.done(mrCancel);
    });
    setPlainMessageHook([](QMessageBox& box) {
        printLine(QStringLiteral("Message: ") + box.text());
        box.accept();
    });
}

void AppDriver::dropFile() {
    QWidget* target = fWindow.findChild<QWidget*>(QStringLiteral("Panel1"));
    if (!target)
        return;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(fOptions.drop)});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void AppDriver::clickTicks() {
    TCategoryTreeView& tv = fWindow.categoryView();
    for (const int id : fOptions.ticks) {
        tv.selectNode(fWindow.tree().indexOfCategory(id));
        tv.tvClick();
    }
    if (!fOptions.ticks.empty())
        tv.selectNode(fWindow.tree().indexOfCategory(fOptions.ticks.front()));
}

void AppDriver::chooseMode() {
    if (!fOptions.priorTo)
        return;
    const char* button = *fOptions.priorTo ? "RadioButton2" : "RadioButton1";
    if (auto* radio = fWindow.findChild<QRadioButton*>(QLatin1String(button)))
        radio->setChecked(true);
    if (*fOptions.priorTo) {
        if (auto* calendar = fWindow.findChild<TQelCalendar*>(QStringLiteral("QelCalendar1")))
            calendar->SetDate(valueFromDate(fOptions.cutOff));
    }
}

void AppDriver::pressStart() {
    auto* start = fWindow.findChild<QPushButton*>(QStringLiteral("cmOk"));
    if (!start || !start->isEnabled()) {
        printLine(QStringLiteral("Start is not enabled: ") + fOptions.drop +
                  QStringLiteral(" did not open as a database."));
        QCoreApplication::exit(1);
        return;
    }
    if (!fOptions.screenshot.isEmpty())
        connect(&fWindow, &TfmMain::ringRedrawn, this, &AppDriver::onRingRedrawn);
    connect(&fWindow, &TfmMain::statusChanged, this, [](const QString& s) { printLine(s); });
    fRunTime.start();
    // The run works inside the click; it returns when the run is over.
    start->click();
    finishRun();
}

void AppDriver::onRingRedrawn(int id) {
    if (fScreenshotTaken || id != 2 ||
        !fWindow.statusText().startsWith(QLatin1String("Cleaning: ")))
        return;
    if (fWindow.progressMaximum(2) < 2 ||
        fWindow.progressCurrent(2) * 2 < fWindow.progressMaximum(2))
        return;
    fScreenshotTaken = true;
    fWindow.showProgressNow();
    saveScreenshot();
}

void AppDriver::finishRun() {
    const qint64 ms = fRunTime.elapsed();
    printLine(QStringLiteral("Status: ") + fWindow.statusText());
    printLine(QStringLiteral("Rows removed: %1").arg(fWindow.lastRemoved().total()));
    printLine(QStringLiteral("Run time: %1 ms").arg(ms));
    if (!fOptions.screenshot.isEmpty() && !fScreenshotTaken) {
        printLine(QStringLiteral("No table was cleaned: the picture shows the end of the run."));
        saveScreenshot();
    }
    QCoreApplication::exit(fWindow.lastOutcome() == RunOutcome::Done ? 0 : 1);
}

bool AppDriver::saveScreenshot() {
    const bool saved = fWindow.grab().save(fOptions.screenshot, "PNG");
    printLine((saved ? QStringLiteral("Saved ") : QStringLiteral("Could not save ")) +
              fOptions.screenshot);
    return saved;
}
