#pragma once

// TQelCalendar: the one-line date field of the main window. The operator types a date in
// any day-first form, or picks one in the calendar pop-up that its "..." button opens.

#include "common/DateTime.h"
#include "common/ui/CalendarPopup.h"

#include <QByteArray>
#include <QColor>
#include <QFrame>
#include <QPointer>
#include <QRect>
#include <concepts>
#include <functional>
#include <typeinfo>

class QLineEdit;
class QToolButton;
class TFrmCalendar;

// An event handler, usually a method of another object. Handlers made from the same method
// have the same code, whichever object they call, so a control can tell that two of its
// events run one handler.
template <class... Args> class TEvent final {
public:
    TEvent() = default;
    template <class T, class M>
    requires std::derived_from<T, M> TEvent(T* object, void (M::*method)(Args...))
        : fCall([object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); }),
          fCode(codeOf(method)) {}
    // Any other callable; it never has the same code as another handler.
    template <class F>
    requires(std::invocable<F&, Args...> && !std::same_as<std::decay_t<F>, TEvent>) TEvent(F call)
        : fCall(std::move(call)) {}

    explicit operator bool() const { return bool(fCall); }
    void operator()(Args... args) const { fCall(std::forward<Args>(args)...); }
    template <class... Other> bool sameCode(const TEvent<Other...>& other) const {
        return !fCode.isEmpty() && fCode == other.code();
    }
    const QByteArray& code() const { return fCode; }

private:
    template <class M> static QByteArray codeOf(void (M::*method)(Args...)) {
        QByteArray code(typeid(M).name());
        code.append(reinterpret_cast<const char*>(&method), sizeof(method));
        return code;
    }
    std::function<void(Args...)> fCall;
    QByteArray fCode;
};

// Where the calendar pop-up of a field goes (screen coordinates): below the field, or above
// it when there is no room below, clamped to the screen's available area.
QPoint calendarPlacement(const QRect& field, const QSize& popup, const QRect& available);

// Chooses the text colour for a date: (Sender, aDate, aColour).
using TGetColourEvent = TEvent<QObject*, TDateTime, QColor&>;
// The operator pressed Enter in the text box: (Sender).
using TEnterPressedEvent = TEvent<QObject*>;
// The date was set: (Sender).
using TChangeEvent = TEvent<QObject*>;

class TQelCalendar final : public QFrame {
    Q_OBJECT
public:
    explicit TQelCalendar(QWidget* aOwner = nullptr);
    ~TQelCalendar() override;

    // The date held: a date-time value, 0 for none.
    TDateTime Date() const { return fDate; }
    // Sets and shows the date, then fires OnGetColour and OnChanged (also for the same date).
    void SetDate(TDateTime aDate);

    const TGetColourEvent& OnGetColour() const { return fOnGetColour; }
    void setOnGetColour(TGetColourEvent handler) { fOnGetColour = std::move(handler); }
    const TEnterPressedEvent& OnEnterPressed() const { return fOnEnterPressed; }
    void setOnEnterPressed(TEnterPressedEvent handler) { fOnEnterPressed = std::move(handler); }
    const TChangeEvent& OnChanged() const { return fOnChanged; }
    void setOnChanged(TChangeEvent handler) { fOnChanged = std::move(handler); }

    // Whether the operator may change the date. A locked field stays focusable and its
    // text can be selected and copied.
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool value);

    QFont GetFont() const { return font(); }
    // Takes the font and picks a "..." colour that reads on the background.
    void SetFont(const QFont& aValue);

    // Opens the calendar pop-up below the field.
    void ButtonClick();
    // Reads the typed text into the date.
    void EditExit();

    // Room for a whole date in the text box's font, and the button.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    QLineEdit* edit() const { return fEdit; }
    QToolButton* button() const { return fButton; }
    // The pop-up now open, if any.
    TFrmCalendar* popup() const { return fPopup; }

    // The month cell last clicked in a pop-up of this field; -1, -1 until then.
    int LastCol() const { return fLastCol; }
    int LastRow() const { return fLastRow; }
    void SetLastCell(int col, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key was Enter and has been handled.
    bool KeyPress(QObject* sender, int key);
    void nameChildren();

    QLineEdit* fEdit = nullptr;
    QToolButton* fButton = nullptr;
    QPointer<TFrmCalendar> fPopup;
    TDateTime fDate = 0;
    bool fEnabled = true;
    TGetColourEvent fOnGetColour;
    TEnterPressedEvent fOnEnterPressed;
    TChangeEvent fOnChanged;
    int fLastCol = -1;
    int fLastRow = -1;
};
