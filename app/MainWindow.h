#pragma once

// The main window `TfmMain`: the drop area for the station database, the category tree
// with the mode row and date field, the two progress channels with the status line, and
// Start / Close. The window is the cleaning run's host: Start runs the run in the
// window's thread, and every progress update lets the window process its messages.

#include "cleaning/CategoryTree.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/RunHost.h"
#include "db/Connection.h"
#include "db/Query.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFrame>
#include <QImage>
#include <QPoint>
#include <QWidget>

class QLabel;
class QPushButton;
class QRadioButton;
class QUrl;
class TCategoryTreeView;
class TQelCalendar;
class TfmMain;

// Every panel of the window. A panel with a tag greater than 0 is a file-drop target:
// it takes one local file or folder dropped on it and hands it to the main window, and a
// click on it asks the window to choose a file instead. A panel may carry a caption,
// drawn centred.
class TPanel final : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr, int tag = 0);

    int tag() const { return fTag; }
    const QString& caption() const { return fCaption; }
    void setCaption(const QString& caption);

    // A colour the panel keeps whatever the visual style says (invalid: the style's).
    void setOwnColour(const QColor& colour);

    // Lets the operator move the borderless window by dragging this panel.
    void setMovesWindow(bool on) { fMovesWindow = on; }

    // True while a drag this drop target would take hovers over it.
    bool dropHighlighted() const { return fDropHover; }

    // The dropped items, once the drag-and-drop operation itself has finished (also the
    // file named on the command line).
    void WMDropFiles(const QList<QUrl>& urls);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TfmMain* form() const;
    bool dropsAllowed() const;
    // Takes or refuses a drag as it enters or moves over the panel.
    void answerDrag(QDropEvent* event);
    void setDropHover(bool on);

    int fTag = 0;
    QString fCaption;
    QColor fOwnColour;
    bool fMovesWindow = false;
    bool fDropHover = false;
    bool fPressed = false;
    bool fDragging = false;
    QPoint fPressAt;
    QPoint fDragOffset;
};

class TfmMain final : public QWidget, public RunHost {
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // The path of the database file dropped last; empty until the first drop.
    const QString& GDB() const { return fGDB; }
    // True while the cleaning run works: drops and Close are ignored meanwhile.
    bool runActive() const { return fRunning; }
    // How the last run ended and what it removed.
    RunOutcome lastOutcome() const { return fOutcome; }
    const RemovalReport& lastRemoved() const { return fRemoved; }

    qint64 progressMaximum(int id) const { return id == 1 ? fMax1 : fMax2; }
    qint64 progressCurrent(int id) const { return id == 1 ? fCur1 : fCur2; }
    // The drawing surface of a channel (fBmp1, fBmp2).
    const QImage& progressSurface(int id) const { return id == 1 ? fBmp1 : fBmp2; }
    QString statusText() const;
    // What the run started last will do, in one line (shown in the run state).
    QString runSummaryText() const;

    // The window's own drop handling: `fGDB` takes the path, then DDComplete.
    void FilesDropped(const QString& path);
    // Attaches `conx` to the dropped file and enables Start; not for a folder or a missing file.
    void DDComplete();
    // The way in without dragging (a click on the drop area, Ctrl+O): a file dialog for
    // Firebird databases, starting in the folder of the database used last. The chosen file
    // is taken as a drop of it would be.
    void OpenDatabaseDialog();
    // The folder the file dialog starts in.
    QString databaseDialogFolder() const;

    void cmOkClick();
    void cmCloseClick();

    // Shows the counters and rings as they are now, whatever the redraw rule skipped.
    void showProgressNow();

    // The category tree; the node table it shows is tree().
    TCategoryTreeView& categoryView() const { return *tv; }
    CategoryTree& mutableTree() { return fTree; }

    // The run's host.
    void SetStatus(const QString& s) override;
    void InitialiseProgress(int id, qint64 max) override;
    void StepProgress(int id) override;
    int DlgAsk(const QString& question) override;
    void DlgError(const QString& message) override;
    void ShowMessage(const QString& text) override;
    bool priorToMode() const override;
    QDateTime cutOffDate() const override;
    const CategoryTree& tree() const override { return fTree; }
    QString Backup(const QString& remoteDBPath, const QString& localDBPath) override;
    bool compresses() const override { return fCompress; }
    bool Sweep(const QString& remoteDBPath, const QString& localDBPath) override;

    // Shows a channel (1, or 2 for any other number) and lets pending messages through.
    // Outside a run the ring is redrawn at once. During a run messages are let through at
    // most every 30 ms, and at those moments the rings whose percentage moved are redrawn.
    void UpdateProgress(int id);

    // The compression step can be left out (a developer's option, as dolvane-cli has).
    void setCompress(bool on) { fCompress = on; }

    // Window heights of the two states.
    static constexpr int designWidth = 505;
    static constexpr int designHeight = 474;

signals:
    void statusChanged(const QString& status);
    // A ring was redrawn (during a run: because its percentage changed).
    void ringRedrawn(int id);
    void runFinished(RunOutcome outcome);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void buildComponents();
    void layoutPanels();
    void enterRunState();
    void redrawRing(int id);
    void refreshLabels();
    // Widths from the captions' size hints where the designed pixels would clip them.
    void fitCaptions();
    // A drawing surface that matches its image's size and device pixel ratio.
    void matchRingSurface(QImage& surface, const QLabel* image) const;

    // Components, owned by their parents for the life of the window.
    TPanel* Panel3 = nullptr;
    TPanel* Panel4 = nullptr;
    TPanel* Panel1 = nullptr;
    TPanel* pn01 = nullptr;
    QLabel* LMDLabel1 = nullptr;
    TCategoryTreeView* tv = nullptr;
    TPanel* Panel7 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    TQelCalendar* QelCalendar1 = nullptr;
    QLabel* lbRunSummary = nullptr;
    TPanel* pnStatusText = nullptr;
    TPanel* Panel6 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbStatus1 = nullptr;
    TPanel* Panel5 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* lbStatus2 = nullptr;
    TPanel* Panel2 = nullptr;
    QPushButton* cmOk = nullptr;
    QPushButton* cmClose = nullptr;

    db::Connection conx;
    db::Query q1;
    db::Query q2;
    CategoryTree fTree;

    QImage fBmp1;
    QImage fBmp2;
    qint64 fMax1 = 0;
    qint64 fCur1 = 0;
    qint64 fMax2 = 0;
    qint64 fCur2 = 0;
    // The percentage each ring shows, -1 before the first drawing.
    int fShownPercent[2] = {-1, -1};
    QElapsedTimer fSinceMessages;

    QString fGDB;
    bool fFirstShowDone = false;
    bool fRunning = false;
    bool fCompress = true;
    RunOutcome fOutcome = RunOutcome::Failed;
    RemovalReport fRemoved;
};
