#pragma once

// The tool's own message dialog: a borderless, dark, stay-on-top window with the system
// icon of its type, a word-wrapped message and a row of buttons whose captions the caller
// chooses. Every question, notice, warning and error reaches the operator through it.

#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

// Dialog types: they choose the icon and the alert sound.
inline constexpr unsigned mtNone = 0;
inline constexpr unsigned mtError = 16;
inline constexpr unsigned mtQuestion = 32;
inline constexpr unsigned mtWarning = 48;
inline constexpr unsigned mtInformation = 64;

// The result of a cancelled dialog (Escape, Alt+F4 or a close request, where allowed).
inline constexpr int mrCancel = 2;
// The result of the first caption's button; the others follow in caption order.
inline constexpr int mrFirstButton = 100;

// The dialog window. It exists only inside one CreateAdvMsgDialog call.
class TMessageForm final : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& Msg, const QStringList& Buttons, unsigned uType,
                 const QString& Header, int ButtonHeight, bool CloseEnabled, bool CancelEnabled,
                 bool AltF4Enabled, const QString& cbMessage, const QString& cbRegSection,
                 const QString& cbRegKey, int cbRegValue);

    QFrame* pnBack() const { return fPnBack; }
    QFrame* pnMain() const { return fPnMain; }
    QFrame* pnButtons() const { return fPnButtons; }
    QLabel* image() const { return fImage; }
    QLabel* MsgLabel() const { return fMsgLabel; }
    // Index 0 is the rightmost button, that of the last caption.
    const std::vector<QPushButton*>& cmButtonArray() const { return fButtons; }
    // The button of a caption, by the caption's index.
    QPushButton* buttonForCaption(int index) const;
    QCheckBox* cbMsg() const { return fCbMsg; }
    QString pbCbRegSection() const { return fCbRegSection; }
    QString pbCbRegKey() const { return fCbRegKey; }
    int pbCbRegValue() const { return fCbRegValue; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // True when the key was handled by the dialog's own rules.
    bool FormKeyDown(const QKeyEvent& event);
    // True when the event was used to move the window.
    bool pnMouseEvent(QEvent* event);
    void watch(QWidget* widget);

    QFrame* fPnBack = nullptr;
    QFrame* fPnMain = nullptr;
    QFrame* fPnButtons = nullptr;
    QLabel* fImage = nullptr;
    QLabel* fMsgLabel = nullptr;
    QCheckBox* fCbMsg = nullptr;
    std::vector<QPushButton*> fButtons;
    QString fCbRegSection;
    QString fCbRegKey;
    int fCbRegValue = 0;
    bool fEscEnabled = false;
    bool fAltF4 = false;
    bool fCloseEnabled = false;
    bool fDragging = false;
    QPoint fDragOffset;
};

// Builds, sizes and shows the dialog modally. Returns mrFirstButton + the index in Buttons
// of the button pressed, or mrCancel.
int CreateAdvMsgDialog(const QString& Msg, const QStringList& Buttons, unsigned uType,
                       const QString& Header, int ButtonHeight, bool CloseEnabled,
                       bool CancelEnabled, bool AltF4Enabled, const QString& cbMessage = QString(),
                       const QString& cbRegSection = QString(), const QString& cbRegKey = QString(),
                       int cbRegValue = 0);

// A Yes/No question: 6 for Yes, 7 for No.
int DlgAsk(const QString& question, const QString& caption = QString(),
           const QString& cbMessage = QString(), const QString& cbKey = QString(), int cbValue = 6);
// A notice with an OK button; always 1.
int DlgInfo(const QString& Msg, const QString& caption = QString());
// An error with an OK button; 1 for OK.
int DlgError(const QString& Message, const QString& caption = QString());
// A warning with an OK button; 1 for OK.
int DlgWarning(const QString& Message, const QString& caption = QString());

// The application title that replaces an empty caption.
QString applicationTitle();

// Routes the messages of code without widgets (common/Messages.h) to these dialogs.
void installDialogMessages();

// Called with every message dialog as soon as it is on screen, so tests can answer it
// with real key presses and clicks; an empty function restores normal use.
void setMessageDialogHook(std::function<void(TMessageForm&)> hook);
