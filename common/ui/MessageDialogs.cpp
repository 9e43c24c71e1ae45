#include "common/ui/MessageDialogs.h"

#include "common/ui/Panels.h"

#include "common/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>
#include <memory>

namespace {

const QColor messageAreaColour(66, 69, 66);
constexpr int referenceHeight = 33;
constexpr int iconSize = 32;

std::function<void(TMessageForm&)>& dialogHook() {
    static std::function<void(TMessageForm&)> hook;
    return hook;
}

QIcon typeIcon(const QStyle& style, unsigned uType) {
    switch (uType) {
    case mtError:
        return style.standardIcon(QStyle::SP_MessageBoxCritical);
    case mtQuestion:
        return style.standardIcon(QStyle::SP_MessageBoxQuestion);
    case mtWarning:
        return style.standardIcon(QStyle::SP_MessageBoxWarning);
    case mtInformation:
        return style.standardIcon(QStyle::SP_MessageBoxInformation);
    default:
        return QIcon();
    }
}

// Windows line breaks of the callers' texts become the label's own.
QString displayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// The busy cursor while the dialog is built; the normal one again on every way out.
class BusyCursor final {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void release() {
        if (fActive)
            QApplication::restoreOverrideCursor();
        fActive = false;
    }

private:
    bool fActive = true;
};

// Other stay-on-top windows of the application step back while the dialog is up, so they
// cannot cover it, and stay on top again afterwards.
class TopMostsSuspended final {
public:
    explicit TopMostsSuspended(const QWidget* dialog) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w == dialog || !w->isVisible() ||
                !w->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
                continue;
            fSuspended.emplace_back(w);
            w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
            w->show();
        }
    }
    ~TopMostsSuspended() {
        for (const auto& w : fSuspended) {
            if (w) {
                w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
                w->show();
            }
        }
    }
    TopMostsSuspended(const TopMostsSuspended&) = delete;
    TopMostsSuspended& operator=(const TopMostsSuspended&) = delete;

private:
    std::vector<QPointer<QWidget>> fSuspended;
};

// Lets pending events run once the dialog is gone, however the call ends.
class ProcessEventsOnExit final {
public:
    ProcessEventsOnExit() = default;
    ~ProcessEventsOnExit() { QCoreApplication::processEvents(); }
    ProcessEventsOnExit(const ProcessEventsOnExit&) = delete;
    ProcessEventsOnExit& operator=(const ProcessEventsOnExit&) = delete;
};

class DialogMessageSink final : public MessageSink {
public:
    void error(const QString& message, const QString& caption) override {
        DlgError(message, caption);
    }
    void warning(const QString& message, const QString& caption) override {
        DlgWarning(message, caption);
    }
    void info(const QString& message, const QString& caption) override {
        DlgInfo(message, caption);
    }
    int ask(const QString& question, const QString& caption) override {
        return DlgAsk(question, caption, QString(), QString(), idYes) == idYes ? idYes : idNo;
    }
};

} // namespace

TMessageForm::TMessageForm(const QString& Msg, const QStringList& Buttons, unsigned uType,
                           const QString& Header, int ButtonHeight, bool CloseEnabled,
                           bool CancelEnabled, bool AltF4Enabled, const QString& cbMessage,
                           const QString& cbRegSection, const QString& cbRegKey, int cbRegValue)
    : QDialog(nullptr), fEscEnabled(CancelEnabled), fAltF4(AltF4Enabled),
      fCloseEnabled(CloseEnabled) {
    setObjectName(QStringLiteral("TMessageForm"));
    // A tool window: no task-bar button.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (CloseEnabled)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(Header);
    QFont windowFont(QStringLiteral("Segoe UI"));
    windowFont.setPixelSize(13);
    setFont(windowFont);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    const int maxTextWidth = screenRect.width() / 2 + 100;

    fPnBack = makeColourPanel(this, Qt::white, QStringLiteral("pnBack"));
    fPnMain = makeColourPanel(fPnBack, messageAreaColour, QStringLiteral("pnMain"));
    fPnButtons = makeColourPanel(fPnBack, messageAreaColour, QStringLiteral("pnButtons"));

    // The message, first at the size of its unwrapped lines.
    fMsgLabel = new QLabel(fPnMain);
    fMsgLabel->setObjectName(QStringLiteral("MsgLabel"));
    fMsgLabel->setTextFormat(Qt::PlainText);
    fMsgLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette labelPalette = fMsgLabel->palette();
    labelPalette.setColor(QPalette::WindowText, Qt::white);
    fMsgLabel->setPalette(labelPalette);
    const QString text = displayText(Msg);
    fMsgLabel->setText(text);
    const QFontMetrics metrics(fMsgLabel->font());
    QSize labelSize = metrics.size(0, text);

    int iconWidth = 0;
    int iconHeight = 0;
    if (uType != mtNone) {
        fImage = new QLabel(fPnMain);
        fImage->setObjectName(QStringLiteral("image"));
        const QIcon icon = typeIcon(*style(), uType);
        if (!icon.isNull())
            fImage->setPixmap(icon.pixmap(iconSize, iconSize));
        iconWidth = iconSize;
        iconHeight = iconSize;
    }

    if (labelSize.width() > maxTextWidth) {
        const int width = maxTextWidth - 32;
        fMsgLabel->setWordWrap(true);
        const QRect wrapped = metrics.boundingRect(QRect(0, 0, width, 1 << 20),
                                                   Qt::AlignLeft | Qt::TextWordWrap, text);
        labelSize = QSize(width, wrapped.height());
    }

    int labelTop = 18;
    int iconTop = 18;
    if (labelSize.height() < referenceHeight) {
        labelTop = referenceHeight / 2 - labelSize.height() / 2 + 18;
        iconTop = 2 * metrics.height() > labelSize.height()
                      ? referenceHeight / 2 - iconHeight / 2 + 18
                      : labelTop;
    } else {
        iconTop = labelTop;
    }
    const int labelLeft = fImage ? iconWidth + 31 : 16;
    fMsgLabel->setGeometry(labelLeft, labelTop, labelSize.width(), labelSize.height());
    if (fImage)
        fImage->setGeometry(16, iconTop, iconWidth, iconHeight);

    int buttonWidth = 100;
    const QFontMetrics windowMetrics(font());
    for (const QString& caption : Buttons)
        buttonWidth = qMax(buttonWidth, windowMetrics.horizontalAdvance(caption) + 8);

    // While the buttons are made the window takes the button-face colour; it shows as the
    // outer frame.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(windowPalette);
    setAutoFillBackground(true);

    const int count = int(Buttons.size());
    for (int k = 0; k < count; ++k) {
        const int index = count - 1 - k;
        auto* button = new QPushButton(Buttons[index], fPnButtons);
        button->setObjectName(QStringLiteral("button%1").arg(index));
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this,
                [this, index] { done(mrFirstButton + index); });
        fButtons.push_back(button);
        watch(button);
    }
    for (int i = 0; i + 1 < count; ++i)
        setTabOrder(buttonForCaption(i), buttonForCaption(i + 1));

    if (!cbMessage.isEmpty()) {
        fCbRegSection = cbRegSection;
        fCbRegKey = cbRegKey;
        fCbRegValue = cbRegValue;
        fCbMsg = new QCheckBox(cbMessage, fPnMain);
        fCbMsg->setObjectName(QStringLiteral("cbMsg"));
        QPalette cbPalette = fCbMsg->palette();
        cbPalette.setColor(QPalette::WindowText, Qt::white);
        fCbMsg->setPalette(cbPalette);
        fCbMsg->lower();
        watch(fCbMsg);
    }

    const int messageWidth = fImage ? iconWidth + labelSize.width() + 55 : labelSize.width() + 40;
    const int buttonsWidth = count * (buttonWidth + 7) + 31;
    const int clientWidth = std::max({220, messageWidth, buttonsWidth});
    const int clientHeight = qMax(140, labelSize.height() + ButtonHeight + 67 + (fCbMsg ? 32 : 0));

    // The panels and the right-anchored buttons at the final size.
    setFixedSize(clientWidth, clientHeight);
    fPnBack->setGeometry(1, 1, clientWidth - 2, clientHeight - 2);
    const int stripTop = fPnBack->height() - 1 - 64;
    fPnButtons->setGeometry(1, stripTop, fPnBack->width() - 2, 64);
    fPnMain->setGeometry(1, 1, fPnBack->width() - 2, stripTop - 2);
    for (int k = 0; k < count; ++k) {
        const int left = fPnButtons->width() - 16 - buttonWidth - (buttonWidth + 7) * k;
        fButtons[k]->setGeometry(left, 10, buttonWidth, ButtonHeight);
    }
    if (fCbMsg) {
        const int height = fCbMsg->sizeHint().height();
        fCbMsg->setGeometry(labelLeft, fPnMain->height() - height - 8, clientWidth - labelLeft,
                            height);
    }
    move(screenRect.x() + (screenRect.width() - clientWidth) / 2,
         screenRect.y() + (screenRect.height() - clientHeight) / 2);

    for (QWidget* panel : {static_cast<QWidget*>(fPnMain), static_cast<QWidget*>(fMsgLabel),
                           static_cast<QWidget*>(fPnButtons)})
        panel->installEventFilter(this);
    if (count > 0)
        buttonForCaption(0)->setFocus();
}

QPushButton* TMessageForm::buttonForCaption(int index) const {
    const int count = int(fButtons.size());
    return index >= 0 && index < count ? fButtons[count - 1 - index] : nullptr;
}

void TMessageForm::watch(QWidget* widget) {
    widget->installEventFilter(this);
}

bool TMessageForm::FormKeyDown(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Escape) {
        if (fEscEnabled)
            done(mrCancel);
        return true;
    }
    if (event.key() == Qt::Key_F4 && (event.modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
        if (fAltF4)
            done(mrCancel);
        return true;
    }
    return false;
}

bool TMessageForm::pnMouseEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        // The window system moves the window where it can; elsewhere it follows the mouse.
        if (windowHandle() && windowHandle()->startSystemMove())
            return true;
        fDragging = true;
        fDragOffset = mouse->globalPosition().toPoint() - pos();
        return true;
    case QEvent::MouseMove:
        if (!fDragging)
            return false;
        move(mouse->globalPosition().toPoint() - fDragOffset);
        return true;
    case QEvent::MouseButtonRelease:
        if (!fDragging || mouse->button() != Qt::LeftButton)
            return false;
        fDragging = false;
        return true;
    default:
        return false;
    }
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
    // Key preview: the dialog's rules come before the focused control.
    if (event->type() == QEvent::KeyPress && FormKeyDown(*static_cast<QKeyEvent*>(event)))
        return true;
    if ((watched == fPnMain || watched == fMsgLabel || watched == fPnButtons) &&
        pnMouseEvent(event))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
    if (!FormKeyDown(*event))
        QDialog::keyPressEvent(event);
}

void TMessageForm::closeEvent(QCloseEvent* event) {
    // A close request from outside (the window manager's close command or Alt+F4) cancels
    // only when the caller allowed it; the buttons close through done().
    event->ignore();
    if (fCloseEnabled || fAltF4)
        done(mrCancel);
}

void TMessageForm::reject() {
    if (fEscEnabled)
        done(mrCancel);
}

int CreateAdvMsgDialog(const QString& Msg, const QStringList& Buttons, unsigned uType,
                       const QString& Header, int ButtonHeight, bool CloseEnabled,
                       bool CancelEnabled, bool AltF4Enabled, const QString& cbMessage,
                       const QString& cbRegSection, const QString& cbRegKey, int cbRegValue) {
    QCoreApplication::processEvents();
    ProcessEventsOnExit processAtEnd;
    BusyCursor busy;
    QApplication::beep();

    // A trailing line break is dropped.
    QString message = Msg;
    if (message.endsWith(QStringLiteral("\r\n")))
        message.chop(2);

    auto form = std::make_unique<TMessageForm>(message, Buttons, uType, Header, ButtonHeight,
                                               CloseEnabled, CancelEnabled, AltF4Enabled, cbMessage,
                                               cbRegSection, cbRegKey, cbRegValue);
    busy.release();
    TopMostsSuspended topMosts(form.get());
    if (dialogHook()) {
        TMessageForm* shown = form.get();
        QMetaObject::invokeMethod(
            shown,
            [shown] {
                if (dialogHook())
                    dialogHook()(*shown);
            },
            Qt::QueuedConnection);
    }
    return form->exec();
}

QString applicationTitle() {
    return QGuiApplication::applicationDisplayName();
}

namespace {
QString captionOrTitle(const QString& caption) {
    return caption.isEmpty() ? applicationTitle() : caption;
}
} // namespace

int DlgAsk(const QString& question, const QString& caption, const QString& cbMessage,
           const QString& cbKey, int /*cbValue*/) {
    const int result = CreateAdvMsgDialog(question, {QStringLiteral("&Yes"), QStringLiteral("&No")},
                                          mtQuestion, captionOrTitle(caption), 40, false, false,
                                          false, cbMessage, QStringLiteral("Dialogs"), cbKey, 0);
    if (result == mrFirstButton)
        return idYes;
    if (result == mrFirstButton + 1)
        return idNo;
    return result;
}

int DlgInfo(const QString& Msg, const QString& caption) {
    CreateAdvMsgDialog(Msg, {QStringLiteral("&Ok")}, mtInformation, captionOrTitle(caption), 40,
                       false, false, false);
    return 1;
}

int DlgError(const QString& Message, const QString& caption) {
    const int result = CreateAdvMsgDialog(Message, {QStringLiteral("&Ok")}, mtError,
                                          captionOrTitle(caption), 40, false, false, false);
    return result == mrFirstButton ? 1 : result;
}

int DlgWarning(const QString& Message, const QString& caption) {
    const int result = CreateAdvMsgDialog(Message, {QStringLiteral("&Ok")}, mtWarning,
                                          captionOrTitle(caption), 40, false, false, false);
    return result == mrFirstButton ? 1 : result;
}

void installDialogMessages() {
    setMessageSink(std::make_shared<DialogMessageSink>());
}

void setMessageDialogHook(std::function<void(TMessageForm&)> hook) {
    dialogHook() = std::move(hook);
}
