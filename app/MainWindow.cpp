#include "app/MainWindow.h"

#include "app/CategoryTreeView.h"
#include "app/DatabaseDialog.h"
#include "app/PlainMessages.h"
#include "app/ProgressRing.h"
#include "app/RunSummary.h"
#include "app/UiFont.h"
#include "backup/BackupDialog.h"
#include "cleaning/DatabaseFileCheck.h"
#include "cleaning/RunArguments.h"
#include "common/DateTime.h"
#include "common/Format.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/DateField.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/SystemColours.h"
#include "env/Locations.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <tuple>

namespace {

constexpr int overallChannel = 1;

// Designed heights of the stacked panels.
constexpr int dropBandHeight = 57;   // Panel1
constexpr int buttonBarHeight = 61;  // Panel2
constexpr int channelHeight = 100;   // Panel5, Panel6
constexpr int statusLineHeight = 24; // pnStatusText
constexpr int modeRowHeight = 58;    // Panel7
constexpr int ringSize = 80;         // Image1, Image2
constexpr int ringMargin = 10;
constexpr int messageInterval = 30; // ms between two message passes during a run
constexpr int runSummaryMargin = 12;

QFont windowFont() {
    return uiFont();
}

} // namespace

// ---------------------------------------------------------------------------------------
// TPanel

TPanel::TPanel(QWidget* parent, int tag) : QFrame(parent), fTag(tag) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    // A drop target takes files from the file manager: only text/uri-list is looked at.
    setAcceptDrops(fTag > 0);
}

void TPanel::setCaption(const QString& caption) {
    if (caption == fCaption)
        return;
    fCaption = caption;
    update();
}

void TPanel::setOwnColour(const QColor& colour) {
    fOwnColour = colour;
    update();
}

void TPanel::paintEvent(QPaintEvent* event) {
    if (fOwnColour.isValid()) {
        QPainter fill(this);
        fill.fillRect(rect(), fOwnColour);
    }
    QFrame::paintEvent(event);
    QPainter p(this);
    if (fDropHover) {
        // The band lights up while it would take the file that hovers over it.
        const QColor accent = palette().color(QPalette::Highlight);
        p.fillRect(rect(), accent);
        p.setPen(QPen(accent.lighter(150), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    if (fCaption.isEmpty())
        return;
    p.setPen(palette().color(fDropHover ? QPalette::HighlightedText : foregroundRole()));
    p.setFont(font());
    p.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine,
               fontMetrics().elidedText(fCaption, Qt::ElideMiddle, contentsRect().width() - 8));
}

TfmMain* TPanel::form() const {
    return qobject_cast<TfmMain*>(window());
}

bool TPanel::dropsAllowed() const {
    const TfmMain* f = form();
    // A run works on the database it started with: no drop may redirect it meanwhile.
    return fTag > 0 && !(f && f->runActive());
}

namespace {

// The tool only reads the dropped path, so it takes a drop as a copy or a link, never as a
// move: a source told that its file was moved may delete or hide it.
Qt::DropAction readOnlyDropAction(Qt::DropActions offered) {
    if (offered & Qt::CopyAction)
        return Qt::CopyAction;
    if (offered & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

// One local file or folder: the only drop the drop area takes.
bool oneLocalItem(const QMimeData* data) {
    if (!data || !data->hasFormat(QStringLiteral("text/uri-list")))
        return false;
    const QList<QUrl> urls = data->urls();
    return urls.size() == 1 && urls.first().isLocalFile() && !urls.first().toLocalFile().isEmpty();
}

} // namespace

void TPanel::answerDrag(QDropEvent* event) {
    const Qt::DropAction action = readOnlyDropAction(event->possibleActions());
    if (!dropsAllowed() || action == Qt::IgnoreAction || !oneLocalItem(event->mimeData())) {
        // Refused before the drop happens: the source keeps its item and the operator sees
        // the refusal while still dragging.
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        setDropHover(false);
        return;
    }
    event->setDropAction(action);
    event->accept();
    setDropHover(true);
}

void TPanel::setDropHover(bool on) {
    if (fDropHover == on)
        return;
    fDropHover = on;
    update();
}

void TPanel::dragEnterEvent(QDragEnterEvent* event) {
    answerDrag(event);
}

void TPanel::dragMoveEvent(QDragMoveEvent* event) {
    answerDrag(event);
}

void TPanel::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropHover(false);
    QFrame::dragLeaveEvent(event);
}

void TPanel::dropEvent(QDropEvent* event) {
    setDropHover(false);
    const Qt::DropAction action = readOnlyDropAction(event->possibleActions());
    if (!dropsAllowed() || action == Qt::IgnoreAction ||
        !event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!oneLocalItem(event->mimeData())) {
        // A drop that did not hover first (a program may send one straight away) is
        // refused here; the operator is told why.
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    } else {
        event->setDropAction(action);
        event->accept();
    }
    // The file manager waits for the drop to finish; a message box or the database
    // attachment must not keep it waiting, so the drop is handled once it has returned.
    QMetaObject::invokeMethod(
        this, [this, urls] { WMDropFiles(urls); }, Qt::QueuedConnection);
}

void TPanel::WMDropFiles(const QList<QUrl>& urls) {
    if (!dropsAllowed())
        return;
    if (urls.size() != 1 || !urls.first().isLocalFile()) {
        plainMessageBox(this, QStringLiteral("Too many files."),
                        QStringLiteral("Drag and drop error"), QMessageBox::Critical);
        return;
    }
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty())
        return;
    setCaption(path);
    if (TfmMain* f = form())
        f->FilesDropped(path);
}

void TPanel::mousePressEvent(QMouseEvent* event) {
    if ((fMovesWindow || fTag > 0) && event->button() == Qt::LeftButton) {
        // A press becomes a click (the drop area opens the file dialog) or, once the
        // pointer moves, a drag of the window.
        fPressed = true;
        fPressAt = event->globalPosition().toPoint();
        fDragOffset = fPressAt - window()->frameGeometry().topLeft();
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

void TPanel::mouseMoveEvent(QMouseEvent* event) {
    if (fPressed && !fDragging && fMovesWindow && (event->buttons() & Qt::LeftButton) &&
        (event->globalPosition().toPoint() - fPressAt).manhattanLength() >=
            QApplication::startDragDistance()) {
        fPressed = false;
        // The window manager moves the window where it can; elsewhere the window follows
        // the pointer itself.
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemMove()) {
            event->accept();
            return;
        }
        fDragging = true;
    }
    if (fDragging && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - fDragOffset);
        event->accept();
        return;
    }
    QFrame::mouseMoveEvent(event);
}

void TPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && (fDragging || fPressed)) {
        const bool click = fPressed && !fDragging;
        fDragging = false;
        fPressed = false;
        event->accept();
        if (click && fTag > 0 && rect().contains(event->position().toPoint()) && dropsAllowed()) {
            if (TfmMain* f = form())
                f->OpenDatabaseDialog();
        }
        return;
    }
    QFrame::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------
// TfmMain

TfmMain::TfmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), q1(conx), q2(conx) {
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Pellisar"));
    setFont(windowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(designWidth, designHeight);
    // The rings' background is the button-face colour as this window's palette has it.
    installPaletteColours();

    conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
    conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));

    buildComponents();
    FormCreate();

    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &TfmMain::OpenDatabaseDialog);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
}

TfmMain::~TfmMain() = default;

void TfmMain::buildComponents() {
    auto panel = [](QWidget* parent, const char* name, int tag = 0) {
        auto* p = new TPanel(parent, tag);
        p->setObjectName(QLatin1String(name));
        return p;
    };

    Panel3 = panel(this, "Panel3");
    // White whatever the visual style says; the style may only change font and border.
    Panel3->setOwnColour(Qt::white);
    Panel4 = panel(Panel3, "Panel4");
    Panel4->setBackgroundRole(QPalette::Button);

    Panel1 = panel(Panel4, "Panel1", 1);
    Panel1->setCaption(QStringLiteral("Drag GDB Here"));
    Panel1->setBackgroundRole(QPalette::Button);
    Panel1->setMovesWindow(true);
    Panel1->setFixedHeight(dropBandHeight);
    Panel1->setToolTip(
        QStringLiteral("Drop a database file here, or click to choose one (Ctrl+O)"));

    pn01 = panel(Panel4, "pn01");
    pn01->setBackgroundRole(QPalette::Base);
    LMDLabel1 = new QLabel(QStringLiteral("Select the type of data you wish to remove"), pn01);
    LMDLabel1->setObjectName(QStringLiteral("LMDLabel1"));
    LMDLabel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tv = new TCategoryTreeView(fTree, pn01);
    tv->setObjectName(QStringLiteral("tv"));
    Panel7 = panel(pn01, "Panel7");
    Panel7->setBackgroundRole(QPalette::Base);
    Panel7->setFixedHeight(modeRowHeight);
    RadioButton1 = new QRadioButton(QStringLiteral("Remove All Selected Data"), Panel7);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(32, 4, 185, 17);
    RadioButton2 = new QRadioButton(QStringLiteral("Remove Data Prior To:"), Panel7);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(302, 4, 148, 17);
    RadioButton2->setChecked(true);
    QelCalendar1 = new TQelCalendar(Panel7);
    QelCalendar1->setObjectName(QStringLiteral("QelCalendar1"));
    QelCalendar1->setGeometry(369, 27, 112, 20);

    // What the run will do, in the run state's free line between the drop area and the
    // status line.
    lbRunSummary = new QLabel(Panel4);
    lbRunSummary->setObjectName(QStringLiteral("lbRunSummary"));
    lbRunSummary->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbRunSummary->hide();

    pnStatusText = panel(Panel4, "pnStatusText");
    pnStatusText->setBackgroundRole(QPalette::Button);
    pnStatusText->setFixedHeight(statusLineHeight);
    pnStatusText->hide();

    auto channel = [&](const char* panelName, const char* imageName, const char* labelName,
                       TPanel*& pnl, QLabel*& image, QLabel*& label) {
        pnl = panel(Panel4, panelName);
        pnl->setBackgroundRole(QPalette::Button);
        pnl->setFixedHeight(channelHeight);
        pnl->hide();
        image = new QLabel(pnl);
        image->setObjectName(QLatin1String(imageName));
        image->setFixedSize(ringSize, ringSize);
        label = new QLabel(pnl);
        label->setObjectName(QLatin1String(labelName));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFont(windowFont());
        // White on black whatever the visual style says.
        label->setStyleSheet(QStringLiteral("background-color: black; color: white;"));
    };
    channel("Panel6", "Image1", "lbStatus1", Panel6, Image1, lbStatus1);
    channel("Panel5", "Image2", "lbStatus2", Panel5, Image2, lbStatus2);

    Panel2 = panel(Panel4, "Panel2");
    Panel2->setBackgroundRole(QPalette::Button);
    Panel2->setFixedHeight(buttonBarHeight);
    cmOk = new QPushButton(QStringLiteral("Start"), Panel2);
    cmOk->setObjectName(QStringLiteral("cmOk"));
    cmOk->setCursor(Qt::PointingHandCursor);
    cmOk->setEnabled(false);
    cmClose = new QPushButton(QStringLiteral("Close"), Panel2);
    cmClose->setObjectName(QStringLiteral("cmClose"));
    cmClose->setCursor(Qt::PointingHandCursor);
    connect(cmOk, &QPushButton::clicked, this, &TfmMain::cmOkClick);
    connect(cmClose, &QPushButton::clicked, this, &TfmMain::cmCloseClick);

    pn01->installEventFilter(this);
    layoutPanels();
}

void TfmMain::FormCreate() {
    fGDB.clear();
}

void TfmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pn01 && event->type() == QEvent::Resize)
        layoutPanels();
    return QWidget::eventFilter(watched, event);
}

void TfmMain::layoutPanels() {
    if (!Panel2)
        return;
    // Two nested frames, each 1 pixel inside the one around it.
    Panel3->setGeometry(1, 1, width() - 2, height() - 2);
    Panel4->setGeometry(1, 1, Panel3->width() - 2, Panel3->height() - 2);
    const int w = Panel4->width();

    Panel1->setGeometry(0, 0, w, Panel1->height());
    // The bottom panels stack upwards from the bottom edge; hidden ones take no room.
    int bottom = Panel4->height();
    for (QWidget* p : {static_cast<QWidget*>(Panel2), static_cast<QWidget*>(Panel5),
                       static_cast<QWidget*>(Panel6), static_cast<QWidget*>(pnStatusText)}) {
        if (p->isHidden())
            continue;
        bottom -= p->height();
        p->setGeometry(0, bottom, w, p->height());
    }
    pn01->setGeometry(0, Panel1->height(), w, std::max(0, bottom - Panel1->height()));
    lbRunSummary->setGeometry(runSummaryMargin, Panel1->height(),
                              std::max(0, w - 2 * runSummaryMargin),
                              std::max(0, bottom - Panel1->height()));

    const int pw = pn01->width();
    const int ph = pn01->height();
    LMDLabel1->setGeometry(32, 4, std::max(0, pw - 64), 24);
    Panel7->setGeometry(0, std::max(0, ph - Panel7->height()), pw, Panel7->height());
    tv->setGeometry(12, 28, std::max(0, pw - 24), std::max(0, ph - 28 - Panel7->height()));

    for (auto [p, image, label] :
         {std::tuple{Panel6, Image1, lbStatus1}, std::tuple{Panel5, Image2, lbStatus2}}) {
        image->setGeometry(p->width() - ringSize - ringMargin, ringMargin, ringSize, ringSize);
        label->setGeometry(12, 20, std::max(0, p->width() - 12 - ringSize - 2 * ringMargin),
                           p->height() - 20);
    }

    // Close at the far right, Start beside it: 100 x 45, 4 pixels from the top.
    cmClose->setGeometry(Panel2->width() - 12 - 100, 4, 100, 45);
    cmOk->setGeometry(cmClose->x() - 4 - 4 - 100, 4, 100, 45);
    fitCaptions();
}

void TfmMain::fitCaptions() {
    // The designed pixels hold the captions in the designed font; a desktop with a wider
    // face (DejaVu Sans where Segoe UI is missing) needs the size hints' widths. Only
    // widths grow, and only where the caption would be cut.
    const QRect designed[] = {QRect(32, 4, 185, 17), QRect(302, 4, 148, 17)};
    QRadioButton* buttons[] = {RadioButton1, RadioButton2};
    for (int i = 0; i < 2; ++i) {
        QRect r = designed[i];
        r.setWidth(std::max(r.width(), buttons[i]->sizeHint().width()));
        r.setHeight(std::max(r.height(), buttons[i]->sizeHint().height()));
        buttons[i]->setGeometry(r);
    }
    QRect field(369, 27, 112, 20);
    field.setWidth(std::max(field.width(), QelCalendar1->minimumSizeHint().width()));
    // Room to the right edge of the mode row first, then further to the left.
    field.moveLeft(std::min(field.left(), std::max(0, Panel7->width() - 4 - field.width())));
    QelCalendar1->setGeometry(field);
}

void TfmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!fFirstShowDone) {
        fFirstShowDone = true;
        FormShow();
    }
}

void TfmMain::FormShow() {
    // Square progress images, and drawing surfaces of their size.
    Image1->setFixedSize(Image1->height(), Image1->height());
    Image2->setFixedSize(Image2->height(), Image2->height());
    matchRingSurface(fBmp1, Image1);
    matchRingSurface(fBmp2, Image2);
    InitialiseProgress(1, 0);
    InitialiseProgress(2, 0);

    tv->expandAll();
    tv->selectNode(0);

    QelCalendar1->SetDate(valueFromDate(defaultCutOffDate()));
}

void TfmMain::closeEvent(QCloseEvent* event) {
    // A run cut short would leave its work copy behind and the operator without a result.
    if (fRunning) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TfmMain::cmCloseClick() {
    close();
}

QString TfmMain::statusText() const {
    return pnStatusText->caption();
}

QString TfmMain::runSummaryText() const {
    return lbRunSummary->text();
}

// ---------------------------------------------------------------------------------------
// Drop

void TfmMain::FilesDropped(const QString& path) {
    if (fRunning)
        return;
    fGDB = path;
    DDComplete();
}

void TfmMain::DDComplete() {
    if (fRunning)
        return;
    // A folder or a vanished file: the caption shows it, nothing else changes.
    if (!QFileInfo(fGDB).isFile())
        return;
    // A file the run would refuse (no database, a pipe or device behind a link, a second
    // hard link, a folder that takes no replacement) is refused here already.
    if (const QString refusal = databaseFileRefusal(LocalGDBFromRemoteGDB(fGDB));
        !refusal.isEmpty()) {
        plainMessageBox(this, refusal, QString(), QMessageBox::Critical);
        return;
    }
    conx.Close();
    conx.setParam(QStringLiteral("database"), fGDB);
    try {
        conx.Open();
    } catch (const std::exception& e) {
        plainMessageBox(this, QString::fromUtf8(e.what()), QString(), QMessageBox::Critical);
        return;
    }
    cmOk->setEnabled(true);
}

QString TfmMain::databaseDialogFolder() const {
    // The database in use now, else the one the product used last, else the home folder.
    for (const QString& path : {fGDB, LastUsedGDBLocal()}) {
        if (path.isEmpty())
            continue;
        QString folder = QFileInfo(path).absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

void TfmMain::OpenDatabaseDialog() {
    if (fRunning)
        return;
    const QString path = chooseDatabaseFile(this, databaseDialogFolder());
    // The run may have started meanwhile only through a drop, which it ignores; still, a
    // choice made during a run is not taken.
    if (path.isEmpty() || fRunning)
        return;
    Panel1->WMDropFiles({QUrl::fromLocalFile(path)});
}

// ---------------------------------------------------------------------------------------
// Start

void TfmMain::enterRunState() {
    cmOk->setEnabled(false);
    pn01->hide();
    Panel6->show();
    Panel5->show();
    pnStatusText->show();
    lbRunSummary->show();
    setFixedSize(width(), Panel5->height() + Panel6->height() + pnStatusText->height() +
                              Panel2->height() + Panel1->height() + 32);
    layoutPanels();
}

void TfmMain::cmOkClick() {
    if (fRunning || !cmOk->isEnabled())
        return;
    enterRunState();
    // Nothing of an earlier run stays on screen while the backup question waits: the
    // status line is empty, both rings at 0, and one line says what this run will do.
    SetStatus(QString());
    InitialiseProgress(1, 0);
    InitialiseProgress(2, 0);
    const QString summary = runSummary(fTree, priorToMode(), QelCalendar1->Date());
    lbRunSummary->setToolTip(summary);
    lbRunSummary->setText(
        lbRunSummary->fontMetrics().elidedText(summary, Qt::ElideRight, lbRunSummary->width()));
    fRunning = true;
    cmClose->setEnabled(false);
    fSinceMessages.start();
    fRemoved = RemovalReport();
    try {
        CleaningRun run(conx, q1, q2, *this);
        fOutcome = run.Execute(fGDB);
        fRemoved = run.removed();
    } catch (const std::exception& e) {
        // What an event handler must not let through is shown, as the toolkit would.
        fOutcome = RunOutcome::Failed;
        fRunning = false;
        cmClose->setEnabled(true);
        plainMessageBox(this, QString::fromUtf8(e.what()), QString(), QMessageBox::Critical);
    }
    fRunning = false;
    cmClose->setEnabled(true);
    showProgressNow();
    emit runFinished(fOutcome);
}

// ---------------------------------------------------------------------------------------
// The run's host

void TfmMain::SetStatus(const QString& s) {
    // Shown with the next message pass, not at once.
    pnStatusText->setCaption(s);
    emit statusChanged(s);
}

void TfmMain::InitialiseProgress(int id, qint64 max) {
    if (id == 1) {
        fMax1 = max;
        fCur1 = 0;
    } else if (id == 2) {
        fMax2 = max;
        fCur2 = 0;
    }
    // A new maximum always shows, even where the percentage stays the same. During a run
    // it is drawn at once: steps may come in batches, and the phase's start must not wait
    // for the first of them.
    fShownPercent[id == overallChannel ? 0 : 1] = -1;
    if (fRunning)
        redrawRing(id == overallChannel ? 1 : 2);
    UpdateProgress(id);
}

void TfmMain::StepProgress(int id) {
    if (id == 1) {
        if (fCur1 < fMax1)
            ++fCur1;
    } else if (id == 2) {
        if (fCur2 < fMax2)
            ++fCur2;
    }
    UpdateProgress(id);
}

void TfmMain::redrawRing(int id) {
    const bool overall = id == overallChannel;
    QImage& surface = overall ? fBmp1 : fBmp2;
    const int percent = progressPercent(overall ? fCur1 : fCur2, overall ? fMax1 : fMax2);
    fShownPercent[overall ? 0 : 1] = percent;
    (overall ? lbStatus1 : lbStatus2)
        ->setText(progressLabel(overall ? fCur1 : fCur2, overall ? fMax1 : fMax2));
    if (surface.isNull())
        return;
    matchRingSurface(surface, overall ? Image1 : Image2);
    drawProgressRing(surface, percent, toQColor(clBtnFace));
    (overall ? Image1 : Image2)->setPixmap(QPixmap::fromImage(surface));
    emit ringRedrawn(overall ? 1 : 2);
}

void TfmMain::matchRingSurface(QImage& surface, const QLabel* image) const {
    // Drawn at the screen's pixel density, so the ring stays sharp on a scaled display.
    const qreal ratio = image->devicePixelRatioF();
    if (!surface.isNull() && surface.devicePixelRatio() == ratio &&
        surface.deviceIndependentSize().toSize() == image->size())
        return;
    surface = makeRingSurface(image->width(), ratio);
}

void TfmMain::refreshLabels() {
    lbStatus1->setText(progressLabel(fCur1, fMax1));
    lbStatus2->setText(progressLabel(fCur2, fMax2));
}

void TfmMain::UpdateProgress(int id) {
    if (!fRunning) {
        // No run holds the thread: draw at once, the event loop shows it.
        redrawRing(id == overallChannel ? 1 : 2);
        return;
    }
    // During a run the counters move on every step, but messages are let through at most
    // every 30 ms, and only then is a ring redrawn, and only when its percentage has moved:
    // a picture nobody can see before the next message pass is not worth drawing, and a
    // million-row table must not cost a million redraws.
    if (fSinceMessages.isValid() && fSinceMessages.elapsed() < messageInterval)
        return;
    showProgressNow();
    QCoreApplication::processEvents();
    fSinceMessages.start();
}

void TfmMain::showProgressNow() {
    for (int id : {1, 2}) {
        const bool overall = id == overallChannel;
        const int percent = progressPercent(overall ? fCur1 : fCur2, overall ? fMax1 : fMax2);
        if (percent != fShownPercent[overall ? 0 : 1])
            redrawRing(id);
    }
    refreshLabels();
}

// A modal message lets the window repaint meanwhile: the progress shown is brought up to
// date first.

int TfmMain::DlgAsk(const QString& question) {
    showProgressNow();
    return ::DlgAsk(question, QString(), QString(), QString(), 6);
}

void TfmMain::DlgError(const QString& message) {
    showProgressNow();
    ::DlgError(message, QString());
}

void TfmMain::ShowMessage(const QString& text) {
    showProgressNow();
    plainMessageBox(this, text, QString(), QMessageBox::NoIcon);
}

bool TfmMain::priorToMode() const {
    return RadioButton2->isChecked();
}

QDateTime TfmMain::cutOffDate() const {
    return dateTimeFromValue(QelCalendar1->Date());
}

QString TfmMain::Backup(const QString& remoteDBPath, const QString& localDBPath) {
    showProgressNow();
    TBackup backup;
    QString fName;
    backup.Backup(bcQelvaro, bmStandard, remoteDBPath, localDBPath, fName, false, 0, 0, true, 0,
                  QString());
    return fName;
}

bool TfmMain::Sweep(const QString& remoteDBPath, const QString& localDBPath) {
    if (!fCompress)
        return false;
    showProgressNow();
    TBackup backup;
    return backup.Sweep(bcQelvaro, remoteDBPath, localDBPath, true);
}
