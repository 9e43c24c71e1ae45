#include "app/MainWindow.h"

#include "app/CategoryTreeView.h"
#include "app/PlainMessages.h"
#include "app/ProgressRing.h"
#include "app/UiFont.h"
#include "backup/BackupDialog.h"
#include "cleaning/RunArguments.h"
#include "common/DateTime.h"
#include "common/Format.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/DateField.h"
#include "common/ui/SystemColours.h"
#include "cleaning/DatabaseFileCheck.h"
#include "env/Locations.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
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
    if (fCaption.isEmpty())
        return;
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
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

void TPanel::dragEnterEvent(QDragEnterEvent* event) {
    if (dropsAllowed() && event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPanel::dragMoveEvent(QDragMoveEvent* event) {
    if (dropsAllowed() && event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPanel::dropEvent(QDropEvent* event) {
    if (!dropsAllowed() || !event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The file manager waits for the drop to finish; a message box or the database
    // attachment must not keep it waiting, so the drop is handled once it has returned.
    const QList<QUrl> urls = event->mimeData()->urls();
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
    if (fMovesWindow && event->button() == Qt::LeftButton) {
        // The window manager moves the window where it can; elsewhere the window follows
        // the pointer itself.
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemMove()) {
            event->accept();
            return;
        }
        fDragging = true;
        fDragOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

void TPanel::mouseMoveEvent(QMouseEvent* event) {
    if (fDragging && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - fDragOffset);
        event->accept();
        return;
    }
    QFrame::mouseMoveEvent(event);
}

void TPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (fDragging && event->button() == Qt::LeftButton) {
        fDragging = false;
        event->accept();
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
    fBmp1 = makeRingSurface(Image1->width());
    fBmp2 = makeRingSurface(Image2->width());
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

// ---------------------------------------------------------------------------------------
// Start

void TfmMain::enterRunState() {
    cmOk->setEnabled(false);
    pn01->hide();
    Panel6->show();
    Panel5->show();
    pnStatusText->show();
    setFixedSize(width(), Panel5->height() + Panel6->height() + pnStatusText->height() +
                              Panel2->height() + Panel1->height() + 32);
    layoutPanels();
}

void TfmMain::cmOkClick() {
    if (fRunning || !cmOk->isEnabled())
        return;
    enterRunState();
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
    drawProgressRing(surface, percent, toQColor(clBtnFace));
    (overall ? Image1 : Image2)->setPixmap(QPixmap::fromImage(surface));
    emit ringRedrawn(overall ? 1 : 2);
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
