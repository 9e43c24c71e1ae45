#include "common/ui/DateField.h"

#include "common/Clock.h"
#include "common/Format.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/SystemColours.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {
constexpr TDateTime firstShownDay = 29221; // 1 January 1980
}

QPoint calendarPlacement(const QRect& field, const QSize& popup, const QRect& available) {
    int x = field.left();
    int y = field.top() + field.height();
    if (y + popup.height() > available.top() + available.height()) {
        // No room below: above the field when it fits there.
        const int above = field.top() - popup.height();
        if (above >= available.top())
            y = above;
    }
    // Clamped to the screen's available area; a pop-up larger than the area keeps its top
    // left corner on it.
    x = std::max(available.left(),
                 std::min(x, available.left() + available.width() - popup.width()));
    y = std::max(available.top(),
                 std::min(y, available.top() + available.height() - popup.height()));
    return QPoint(x, y);
}

TQelCalendar::TQelCalendar(QWidget* aOwner) : QFrame(aOwner) {
    setFrameShape(QFrame::NoFrame);
    // The parent's colour shows through: nothing of its own is filled.
    setAutoFillBackground(false);
    resize(width(), 20);

    fEdit = new QLineEdit(this);
    fEdit->setAlignment(Qt::AlignCenter);
    fEdit->setFrame(true);
    fEdit->installEventFilter(this);

    fButton = new QToolButton(this);
    fButton->setText(QStringLiteral("..."));
    fButton->setAutoRaise(true);
    fButton->setFixedWidth(20);
    fButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    fButton->setCursor(Qt::PointingHandCursor);
    // Typed text that is not yet confirmed stays unconfirmed while the pop-up is open, so a
    // click leaves the focus in the text box; the keyboard reaches the button with Tab
    // (leaving the text box confirms its text) and opens the pop-up with Space or Enter.
    fButton->setFocusPolicy(Qt::TabFocus);
    fButton->installEventFilter(this);
    connect(fButton, &QToolButton::clicked, this, [this] { ButtonClick(); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(fEdit, 1);
    layout->addWidget(fButton);
    setFocusProxy(fEdit);

    nameChildren();
    connect(this, &QObject::objectNameChanged, this, [this] { nameChildren(); });

    SetEnabled(true);
    if (fDate == 0)
        fDate = valueFromDateTime(currentDateTime());
    SetDate(fDate);
    SetFont(font());
}

TQelCalendar::~TQelCalendar() {
    // The text box may still lose the focus while it is destroyed; this object is gone by then.
    fEdit->removeEventFilter(this);
    fButton->removeEventFilter(this);
}

void TQelCalendar::nameChildren() {
    fEdit->setObjectName(objectName() + QStringLiteral("_edit"));
    fButton->setObjectName(objectName() + QStringLiteral("_button"));
}

void TQelCalendar::SetDate(TDateTime aDate) {
    fDate = aDate;
    fEdit->setText(dtsEx(fDate));
    if (fOnGetColour) {
        QColor colour = toQColor(clWindowText);
        fOnGetColour(this, fDate, colour);
        QPalette palette = fEdit->palette();
        palette.setColor(QPalette::Text, colour);
        fEdit->setPalette(palette);
    }
    if (fOnChanged)
        fOnChanged(this);
}

void TQelCalendar::SetEnabled(bool value) {
    fEnabled = value;
    fEdit->setReadOnly(!value);
    fButton->setEnabled(value);
}

void TQelCalendar::SetFont(const QFont& aValue) {
    setFont(aValue);
    const QColor background = palette().color(backgroundRole());
    const int sum = background.red() + background.green() + background.blue();
    const QColor text = sum < 384 ? QColor(Qt::white) : toQColor(clWindowText);
    QPalette palette = fButton->palette();
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::WindowText, text);
    fButton->setPalette(palette);
}

QSize TQelCalendar::sizeHint() const {
    // The widest date the field shows: two digits, the separator, two digits, the
    // separator, four digits, each digit as wide as the font's widest.
    const QFontMetrics metrics(fEdit->font());
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    const QString separators =
        dtsEx(valueFromDate(QDate(2000, 1, 1))).remove(QRegularExpression(QStringLiteral("[0-9]")));
    const int text = 8 * digit + metrics.horizontalAdvance(separators);
    QStyleOptionFrame option;
    option.initFrom(fEdit);
    option.rect = fEdit->rect();
    option.lineWidth = fEdit->hasFrame() ? fEdit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                       &option, fEdit)
                                         : 0;
    // The text box keeps 2 pixels on each side of its text and 1 for the cursor.
    const QSize edit = fEdit->style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(text + 2 * 2 + 1, metrics.height()), fEdit);
    return QSize(edit.width() + fButton->width(), 20);
}

void TQelCalendar::SetLastCell(int col, int row) {
    fLastCol = col;
    fLastRow = row;
}

void TQelCalendar::ButtonClick() {
    if (!fEnabled)
        return;
    auto* popup = new TFrmCalendar(this);
    // No date (or one too early to show): start from today, leaving text and events alone.
    if (!(fDate >= firstShownDay))
        fDate = valueFromDate(currentDate());
    popup->WriteDate(fDate);
    popup->move(mapToGlobal(QPoint(0, 0)) + QPoint(0, height()));

    QFont popupFont = popup->font();
    popupFont.setFamily(font().family());
    popup->setFont(popupFont);
    QFont largeFont = popupFont;
    largeFont.setPointSize(10);
    popup->ebYear()->setFont(largeFont);
    popup->cmSelected()->setFont(largeFont);
    popup->fitSelectedDate();

    // Below the field where the screen has room, else above it, and always on the screen.
    const QScreen* screen = this->screen();
    if (screen)
        popup->move(calendarPlacement(QRect(mapToGlobal(QPoint(0, 0)), size()), popup->size(),
                                      screen->availableGeometry()));

    fPopup = popup;
    popup->show();
}

void TQelCalendar::EditExit() {
    SetDate(txt2Date(fEdit->text()));
}

bool TQelCalendar::KeyPress(QObject* sender, int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    EditExit();
    // A handler that already ran as OnChanged is not run again.
    if (fOnEnterPressed && !fOnEnterPressed.sameCode(fOnChanged))
        fOnEnterPressed(sender);
    return true;
}

bool TQelCalendar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fButton && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ButtonClick();
            return true;
        }
    }
    if (watched == fEdit) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (KeyPress(fEdit, static_cast<QKeyEvent*>(event)->key()))
                return true;
            break;
        case QEvent::FocusIn: {
            // Entering the field selects its text, except where a click places the cursor
            // or the window merely becomes active again.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason)
                QTimer::singleShot(0, fEdit, [edit = fEdit] { edit->selectAll(); });
            break;
        }
        case QEvent::FocusOut: {
            // Only leaving for another control of the window confirms the text; another
            // window (a pop-up, a dialog) taking the activation does not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const QWidget* next = QApplication::focusWidget();
            const bool otherWindow = next && next->window() != fEdit->window();
            if (!otherWindow && reason != Qt::ActiveWindowFocusReason &&
                reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason)
                EditExit();
            break;
        }
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}
