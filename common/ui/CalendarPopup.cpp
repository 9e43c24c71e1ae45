#include "common/ui/CalendarPopup.h"

#include "common/ui/Panels.h"

#include "common/Clock.h"
#include "common/Format.h"
#include "common/ItemList.h"
#include "common/ui/DateField.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/SystemColours.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr TDateTime firstShownDay = 29221; // 1 January 1980
const QColor backgroundGrey(66, 69, 66);
const QColor lightBlue(128, 179, 255);
const QColor stripBlue(64, 159, 255);
const QColor skyBlue(166, 202, 240);
const QColor selectedRed(255, 0, 0);

QFrame* makePanel(QWidget* parent, const QColor& colour, const QString& name, const QRect& rect) {
    QFrame* panel = makeColourPanel(parent, colour, name);
    panel->setGeometry(rect);
    return panel;
}

// The glyphs of the flat buttons: a white arrow on a dark disc, a small triangle.
QIcon arrowGlyph(bool pointsRight) {
    QPixmap pixmap(21, 21);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(48, 48, 48));
    painter.drawEllipse(QRectF(1, 1, 19, 19));
    QPainterPath arrow;
    if (pointsRight) {
        arrow.moveTo(8, 5.5);
        arrow.lineTo(15, 10.5);
        arrow.lineTo(8, 15.5);
    } else {
        arrow.moveTo(13, 5.5);
        arrow.lineTo(6, 10.5);
        arrow.lineTo(13, 15.5);
    }
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return QIcon(pixmap);
}

QIcon downTriangleGlyph() {
    QPixmap pixmap(9, 6);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(32, 32, 32));
    painter.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(9, 0), QPointF(4.5, 6)}));
    return QIcon(pixmap);
}

QToolButton* makeGlyphButton(QWidget* parent, const QString& name, const QIcon& glyph,
                             const QRect& rect) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(glyph);
    button->setIconSize(glyph.availableSizes().value(0, rect.size()));
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(rect);
    return button;
}

// A grid drawn by its window. A click (also a selection moved by keys) and a double click
// are reported once each; the window reads the selected cell itself.
class CalendarGrid final : public QTableWidget {
public:
    CalendarGrid(int rows, int cols, int colWidth, int rowHeight, QWidget* parent)
        : QTableWidget(rows, cols, parent) {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        horizontalHeader()->hide();
        verticalHeader()->hide();
        horizontalHeader()->setMinimumSectionSize(1);
        verticalHeader()->setMinimumSectionSize(1);
        horizontalHeader()->setDefaultSectionSize(colWidth);
        verticalHeader()->setDefaultSectionSize(rowHeight);
        horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setShowGrid(true);
        setItemDelegate(new Delegate(this));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                setItem(r, c, new QTableWidgetItem);
    }

    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void(QPainter&, const QRect&, int, int)> onDrawCell;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        fInPress = true;
        QTableWidget::mousePressEvent(event);
        fInPress = false;
        if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() &&
            onClick)
            onClick();
    }
    void mouseMoveEvent(QMouseEvent*) override {} // no selecting by dragging
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() &&
            onDblClick)
            onDblClick();
    }
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTableWidget::currentChanged(current, previous);
        if (!fInPress && current.isValid() && onClick)
            onClick();
    }

private:
    class Delegate final : public QStyledItemDelegate {
    public:
        explicit Delegate(CalendarGrid* grid) : QStyledItemDelegate(grid), fGrid(grid) {}
        void paint(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const override {
            if (fGrid->onDrawCell) {
                painter->save();
                fGrid->onDrawCell(*painter, option.rect, index.row(), index.column());
                painter->restore();
            }
        }

    private:
        CalendarGrid* fGrid;
    };

    bool fInPress = false;
};

bool isSelectedCell(const QTableWidget& table, int row, int col) {
    return table.currentRow() == row && table.currentColumn() == col;
}

QDate dateOf(TDateTime value) {
    return dateTimeEpoch().addDays(qint64(std::floor(value)));
}

} // namespace

TFrmCalendar::TFrmCalendar(TQelCalendar* calendar)
    : QWidget(calendar, Qt::Popup | Qt::FramelessWindowHint), fCalendar(calendar) {
    setObjectName(QStringLiteral("FrmCalendar"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont windowFont(QStringLiteral("Segoe UI"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    // The window's own colour shows as a 1-pixel frame around the background panel.
    setAutoFillBackground(true);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, toQColor(cl3DLight));
    setPalette(windowPalette);
    setFixedSize(230, 200);

    fPnBackground =
        makePanel(this, backgroundGrey, QStringLiteral("pnBackground"), QRect(1, 1, 228, 198));
    QFrame* topStrip = makePanel(fPnBackground, lightBlue, QStringLiteral("LMDSimplePanel5"),
                                 QRect(0, 0, 228, 31));
    QFrame* bottomStrip = makePanel(fPnBackground, stripBlue, QStringLiteral("LMDSimplePanel2"),
                                    QRect(0, 158, 228, 40));
    QFrame* leftColumn = makePanel(fPnBackground, backgroundGrey, QStringLiteral("LMDSimplePanel3"),
                                   QRect(0, 31, 80, 127));
    QFrame* dayPanel = makePanel(fPnBackground, backgroundGrey, QStringLiteral("LMDSimplePanel4"),
                                 QRect(80, 31, 148, 127));

    fCmPvYear = makeGlyphButton(topStrip, QStringLiteral("cmPvYear"), arrowGlyph(false),
                                QRect(55, 5, 21, 21));
    fEbYear = new QLineEdit(topStrip);
    fEbYear->setObjectName(QStringLiteral("ebYear"));
    fEbYear->setAlignment(Qt::AlignCenter);
    fEbYear->setGeometry(78, 3, 69, 25);
    fCmNxYear = makeGlyphButton(topStrip, QStringLiteral("cmNxYear"), arrowGlyph(true),
                                QRect(149, 5, 21, 21));

    auto* months = new CalendarGrid(6, 2, 39, 20, leftColumn);
    months->setObjectName(QStringLiteral("sgMon"));
    months->setGeometry(0, 1, 80, 126);
    QPalette monthPalette = months->palette();
    monthPalette.setColor(QPalette::Base, lightBlue);
    monthPalette.setColor(QPalette::Window, lightBlue);
    months->setPalette(monthPalette);
    fSgMon = months;

    auto* days = new CalendarGrid(6, 7, 20, 20, dayPanel);
    days->setObjectName(QStringLiteral("sgDay"));
    days->setGeometry(0, 1, 148, 126);
    QPalette dayPalette = days->palette();
    dayPalette.setColor(QPalette::Base, toQColor(clWindow));
    days->setPalette(dayPalette);
    fSgDay = days;

    fCmSelected = new QPushButton(bottomStrip);
    fCmSelected->setObjectName(QStringLiteral("cmSelected"));
    fCmSelected->setGeometry(64, 8, 101, 25);
    fCmSelected->setCursor(Qt::PointingHandCursor);
    fLMDButton1 = makeGlyphButton(bottomStrip, QStringLiteral("LMDButton1"), downTriangleGlyph(),
                                  QRect(165, 8, 18, 25));

    fPm = new QMenu(this);
    fPm->setObjectName(QStringLiteral("pm"));
    const struct {
        const char* name;
        int tag;
        const char* caption;
    } items[] = {
        {"oday1", 1, "Today"},
        {"Yesterday1", 2, "Yesterday"},
        {"StartoftheMonth1", 3, "Start of Month"},
        {"EndoftheMonth1", 4, "End of Month"},
        {"StartoftheYear1", 5, "Start of Year"},
        {"EndoftheYear1", 6, "End of Year"},
        {"StartofFiscalYear1", 7, "Start of Fiscal Year"},
        {"EndofFiscalYear1", 8, "End of Fiscal Year"},
    };
    for (const auto& entry : items) {
        QAction* action = fPm->addAction(QString::fromLatin1(entry.caption));
        action->setObjectName(QString::fromLatin1(entry.name));
        action->setData(entry.tag);
        connect(action, &QAction::triggered, this, [this, tag = entry.tag] { cmPMClick(tag); });
    }

    days->onClick = [this] { sgDayClick(); };
    days->onDblClick = [this] { sgDayDblClick(); };
    days->onDrawCell = [this](QPainter& p, const QRect& r, int row, int col) {
        sgDayDrawCell(p, r, row, col);
    };
    months->onClick = [this] { sgMonClick(); };
    months->onDblClick = [this] { sgMonDblClick(); };
    months->onDrawCell = [this](QPainter& p, const QRect& r, int row, int col) {
        sgMonDrawCell(p, r, row, col);
    };
    connect(fEbYear, &QLineEdit::textChanged, this, [this] { ebYearChange(); });
    connect(fCmNxYear, &QToolButton::clicked, this, [this] { cmNxYearClick(); });
    connect(fCmPvYear, &QToolButton::clicked, this, [this] { cmPvYearClick(); });
    connect(fLMDButton1, &QToolButton::clicked, this, [this] { LMDButton1Click(); });
    connect(fCmSelected, &QPushButton::clicked, this, [this] { cmSelectedClick(); });

    FormCreate();
}

void TFrmCalendar::FormCreate() {
    fChangeDisabled = false;
    const QLocale locale;
    const QDate firstOfYear(currentDate().year(), 1, 1);
    for (int i = 0; i < 12; ++i) {
        const QDate date = firstOfYear.addDays(qint64(32) * i);
        fSgMon->item(i / 2, i % 2)->setText(locale.monthName(date.month(), QLocale::ShortFormat));
    }
    WriteDate(valueFromDate(currentDate()));
}

QDate TFrmCalendar::shownDate() const {
    return dateOf(fDate);
}

void TFrmCalendar::WriteDate(TDateTime aDate) {
    fChangeDisabled = true;
    fDate = aDate;
    AdjustToDate(aDate);
    const QDate date = dateOf(aDate);
    fCmSelected->setText(lpad(its(date.day()), 2, u'0') + u' ' +
                         QLocale().monthName(date.month(), QLocale::ShortFormat) + u' ' +
                         lpad(its(date.year()), 4, u'0'));
    fitSelectedDate();
    fChangeDisabled = false;
}

void TFrmCalendar::fitSelectedDate() {
    // 101 pixels hold the date in the designed font; a wider face gets the button's size
    // hint, the menu button staying at its right, both within the bottom strip.
    const QRect designed(64, 8, 101, 25);
    const int strip = fCmSelected->parentWidget()->width();
    const int menuWidth = fLMDButton1->width();
    const int width = std::min(std::max(designed.width(), fCmSelected->sizeHint().width()),
                               strip - menuWidth - 2);
    const int left = std::min(designed.left(), strip - menuWidth - width - 1);
    fCmSelected->setGeometry(left, designed.top(), width, designed.height());
    fLMDButton1->move(left + width, fLMDButton1->y());
}

void TFrmCalendar::AdjustToDate(TDateTime aDate) {
    const QDate date = dateOf(aDate);
    const QString yearText = its(date.year());
    if (fEbYear->text() != yearText)
        fEbYear->setText(yearText);
    fSgMon->setCurrentCell((date.month() - 1) / 2, (date.month() - 1) % 2);

    const QDate firstDate(date.year(), date.month(), 1);
    const qint64 first = qint64(valueFromDate(firstDate));
    const qint64 last = first + firstDate.daysInMonth() - 1;
    // The Monday on or before the first; a month starting on a Monday shows a full week
    // of the month before.
    qint64 start = first - (firstDate.dayOfWeek() - 1);
    if (start == first)
        start = first - 7;

    bool selected = false;
    for (int i = 0; i < 42; ++i) {
        const qint64 day = start + i;
        const QString flag =
            (first <= day && day <= last) ? QStringLiteral("0") : QStringLiteral("1");
        const QString text =
            its(day) + u',' + its(dateTimeEpoch().addDays(day).day()) + u',' + flag;
        fSgDay->item(i / 7, i % 7)->setText(text);
        if (aDate == double(day)) {
            fSgDay->setCurrentCell(i / 7, i % 7);
            selected = true;
        }
    }
    if (!selected) {
        fSgDay->setCurrentItem(nullptr);
        fSgDay->clearSelection();
    }
    fSgDay->viewport()->update();
    fSgMon->viewport()->update();
}

void TFrmCalendar::sgDayClick() {
    if (fChangeDisabled)
        return;
    const QTableWidgetItem* cell = fSgDay->currentItem();
    if (!cell)
        return;
    WriteDate(double(itemEx(0, cell->text(), QStringLiteral(",")).toLongLong()));
}

void TFrmCalendar::sgDayDblClick() {
    closeWithChoice();
}

void TFrmCalendar::sgMonClick() {
    if (fChangeDisabled)
        return;
    const int col = fSgMon->currentColumn();
    const int row = fSgMon->currentRow();
    if (col < 0 || row < 0)
        return;
    // The last clicked cell is kept by the date field, across pop-ups; clicking it again
    // does nothing.
    if (fCalendar && col == fCalendar->LastCol() && row == fCalendar->LastRow())
        return;
    if (fCalendar)
        fCalendar->SetLastCell(col, row);

    const QDate shown = shownDate();
    const int month = row * 2 + col + 1;
    int day = shown.day();
    while (!QDate::isValid(shown.year(), month, day) && day > 27)
        --day;
    const QDate date(shown.year(), month, day);
    if (date.isValid())
        WriteDate(valueFromDate(date));
}

void TFrmCalendar::sgMonDblClick() {
    const QDate shown = shownDate();
    WriteDate(valueFromDate(QDate(shown.year(), shown.month(), 1)));
    closeWithChoice();
}

void TFrmCalendar::ebYearChange() {
    if (fChangeDisabled)
        return;
    const qint64 year = sti(fEbYear->text(), 0);
    const QDate shown = shownDate();
    if (year <= 0 || year == shown.year() || year > 9999)
        return;
    const QDate date(int(year), shown.month(), shown.day());
    if (date.isValid())
        WriteDate(valueFromDate(date));
}

void TFrmCalendar::cmNxYearClick() {
    const QDate moved = shownDate().addMonths(12);
    if (moved.year() <= 9999)
        WriteDate(valueFromDate(moved));
}

void TFrmCalendar::cmPvYearClick() {
    const QDate moved = shownDate().addMonths(-12);
    if (moved.year() >= 1)
        WriteDate(valueFromDate(moved));
}

void TFrmCalendar::cmPMClick(int tag) {
    const QDate today = currentDate();
    const QDate shown = shownDate();
    QDate chosen;
    switch (tag) {
    case 1:
        chosen = today;
        break;
    case 2:
        chosen = today.addDays(-1);
        break;
    case 3:
        chosen = QDate(shown.year(), shown.month(), 1);
        break;
    case 4:
        chosen = QDate(shown.year(), shown.month(), shown.daysInMonth());
        break;
    case 5:
    case 7: // the fiscal year is the calendar year
        chosen = QDate(shown.year(), 1, 1);
        break;
    case 6:
    case 8:
        chosen = QDate(shown.year(), 12, 31);
        break;
    default:
        break;
    }
    if (chosen.isValid())
        WriteDate(valueFromDate(chosen));
    closeWithChoice();
}

void TFrmCalendar::LMDButton1Click() {
    fPm->popup(QCursor::pos());
}

void TFrmCalendar::cmSelectedClick() {
    if (fDate > firstShownDay) {
        closeWithChoice();
        return;
    }
    // The error dialog takes the activation from the pop-up, which closes without a choice;
    // it is freed only once this handler has returned.
    closeWithoutChoice();
    DlgError(QStringLiteral("Invalid Date"), QString());
}

void TFrmCalendar::FormDeactivate() {
    closeWithoutChoice();
}

void TFrmCalendar::closeWithChoice() {
    fChoiceMade = true;
    close();
}

void TFrmCalendar::closeWithoutChoice() {
    if (fClosed)
        return;
    WriteDate(noChoice);
    close();
}

void TFrmCalendar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow())
        fWasActive = true;
    else if (fWasActive && isVisible() && !fClosed)
        FormDeactivate();
}

void TFrmCalendar::closeEvent(QCloseEvent* event) {
    event->accept();
    if (fClosed)
        return;
    // Closed by anything but a choice (a click elsewhere, Escape): the date stays as it was.
    if (!fChoiceMade)
        WriteDate(noChoice);
    fClosed = true;
    if (fDate != noChoice && fCalendar)
        fCalendar->SetDate(fDate);
}

TFrmCalendar::CellLook TFrmCalendar::dayCellLook(int row, int col) const {
    CellLook look{font(), toQColor(clWindowText)};
    const QTableWidgetItem* cell = fSgDay->item(row, col);
    if (isSelectedCell(*fSgDay, row, col)) {
        look.font.setBold(true);
        look.colour = selectedRed;
    } else if (cell && itemEx(2, cell->text(), QStringLiteral(",")) == QStringLiteral("1")) {
        look.font.setItalic(true);
        look.colour = skyBlue;
    }
    return look;
}

TFrmCalendar::CellLook TFrmCalendar::monthCellLook(int row, int col) const {
    CellLook look{font(), QColor(Qt::white)};
    if (isSelectedCell(*fSgMon, row, col)) {
        look.font.setBold(true);
        look.colour = selectedRed;
    }
    return look;
}

void TFrmCalendar::sgDayDrawCell(QPainter& painter, const QRect& rect, int row, int col) const {
    const CellLook look = dayCellLook(row, col);
    painter.fillRect(rect, fSgDay->palette().color(QPalette::Base));
    painter.setFont(look.font);
    painter.setPen(look.colour);
    const QTableWidgetItem* cell = fSgDay->item(row, col);
    const QString day = cell ? itemEx(1, cell->text(), QStringLiteral(",")) : QString();
    painter.drawText(rect.adjusted(0, 4, 0, 0), Qt::AlignHCenter | Qt::AlignTop, day);
}

void TFrmCalendar::sgMonDrawCell(QPainter& painter, const QRect& rect, int row, int col) const {
    const CellLook look = monthCellLook(row, col);
    painter.fillRect(rect, fPnBackground->palette().color(QPalette::Window));
    painter.setFont(look.font);
    painter.setPen(look.colour);
    const QTableWidgetItem* cell = fSgMon->item(row, col);
    painter.drawText(rect.adjusted(0, 4, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                     cell ? cell->text() : QString());
}
