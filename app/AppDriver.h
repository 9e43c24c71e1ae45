#pragma once

// Carries out the developer options on the real window: drops the file through a real
// drop event, clicks the tree, sets the mode row, presses Start, answers the messages,
// saves the screenshot and ends the program when it is done.

#include "app/AppOptions.h"

#include <QElapsedTimer>
#include <QObject>

class TfmMain;

class AppDriver final : public QObject {
    Q_OBJECT
public:
    AppDriver(TfmMain& window, AppOptions options);
    ~AppDriver() override;

    // Queued: starts once the event loop runs and the window shows.
    void start();

private:
    void perform();
    void answerMessages();
    void dropFile();
    void clickTicks();
    void chooseMode();
    void pressStart();
    void onRingRedrawn(int id);
    void finishRun();
    bool saveScreenshot();

    TfmMain& fWindow;
    AppOptions fOptions;
    bool fScreenshotTaken = false;
    QElapsedTimer fRunTime;
};
