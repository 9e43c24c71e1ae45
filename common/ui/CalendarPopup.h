#pragma once

// TFrmCalendar: the calendar pop-up of the date field. It shows a year box, the twelve
// months, six weeks of days and quick choices; a choice closes it and hands the date to
// the field, clicking anywhere else closes it and changes nothing.

#include "common/DateTime.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

class QFrame;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QTableWidget;
class QToolButton;
class TQelCalendar;

class TFrmCalendar final : public QWidget {
    Q_OBJECT
public:
    // A -1 date marks that no choice was made.
    static constexpr TDateTime noChoice = -1;

    explicit TFrmCalendar(TQelCalendar* calendar);

    TDateTime Date() const { return fDate; }
    // Shows aDate everywhere: year box, grids, selected-date button.
    void WriteDate(TDateTime aDate);
    void AdjustToDate(TDateTime aDate);
    // Widens the selected-date button where its caption would be cut in the current font.
    void fitSelectedDate();

    // How a cell is drawn.
    struct CellLook {
        QFont font;
        QColor colour;
    };
    CellLook dayCellLook(int row, int col) const;
    CellLook monthCellLook(int row, int col) const;

    QFrame* pnBackground() const { return fPnBackground; }
    QToolButton* cmPvYear() const { return fCmPvYear; }
    QLineEdit* ebYear() const { return fEbYear; }
    QToolButton* cmNxYear() const { return fCmNxYear; }
    QTableWidget* sgMon() const { return fSgMon; }
    QTableWidget* sgDay() const { return fSgDay; }
    QPushButton* cmSelected() const { return fCmSelected; }
    QToolButton* LMDButton1() const { return fLMDButton1; }
    QMenu* pm() const { return fPm; }
    TQelCalendar* calendar() const { return fCalendar; }

    // Loss of activation: close without a choice.
    void FormDeactivate();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    void sgDayClick();
    void sgDayDblClick();
    void sgMonClick();
    void sgMonDblClick();
    void ebYearChange();
    void cmNxYearClick();
    void cmPvYearClick();
    void cmPMClick(int tag);
    void LMDButton1Click();
    void cmSelectedClick();
    void sgDayDrawCell(QPainter& painter, const QRect& rect, int row, int col) const;
    void sgMonDrawCell(QPainter& painter, const QRect& rect, int row, int col) const;
    // Closes handing the shown date to the date field.
    void closeWithChoice();
    void closeWithoutChoice();
    QDate shownDate() const;

    QPointer<TQelCalendar> fCalendar;
    TDateTime fDate = noChoice;
    bool fChangeDisabled = false;
    bool fChoiceMade = false;
    bool fClosed = false;
    bool fWasActive = false;

    QFrame* fPnBackground = nullptr;
    QToolButton* fCmPvYear = nullptr;
    QLineEdit* fEbYear = nullptr;
    QToolButton* fCmNxYear = nullptr;
    QTableWidget* fSgMon = nullptr;
    QTableWidget* fSgDay = nullptr;
    QPushButton* fCmSelected = nullptr;
    QToolButton* fLMDButton1 = nullptr;
    QMenu* fPm = nullptr;
};
