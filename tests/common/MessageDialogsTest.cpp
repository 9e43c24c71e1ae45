#include "common/ui/MessageDialogs.h"
#include "common/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

// Answers every dialog shown while it lives, with what the test does in `answer`.
class DialogAnswerer final {
public:
    explicit DialogAnswerer(std::function<void(TMessageForm&)> answer) {
        setMessageDialogHook([this, answer = std::move(answer)](TMessageForm& form) {
            ++shown;
            EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
            answer(form);
            // Never leave a test waiting for a person.
            if (form.isVisible())
                form.done(-1);
        });
    }
    ~DialogAnswerer() { setMessageDialogHook({}); }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    int shown = 0;
};

void click(QPushButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

QFont dialogFont() {
    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(13);
    return font;
}

int maxTextWidth() {
    return QGuiApplication::primaryScreen()->geometry().width() / 2 + 100;
}

// What a dialog looked like on screen.
struct Seen {
    QSize size;
    QPoint centre;
    QString title;
    QRect pnMain, pnButtons;
    std::optional<QRect> icon;
    QRect label;
    QString labelText;
    bool labelWraps = false;
    QStringList captionsLeftToRight;
    std::vector<QRect> buttonsLeftToRight;
    std::optional<QRect> checkBox;
    bool stayOnTop = false, frameless = false;
};

Seen look(TMessageForm& form) {
    Seen seen;
    seen.size = form.size();
    seen.centre = form.geometry().center();
    seen.title = form.windowTitle();
    seen.pnMain = form.pnMain()->geometry();
    seen.pnButtons = form.pnButtons()->geometry();
    if (form.image() && form.image()->isVisible())
        seen.icon = form.image()->geometry();
    seen.label = form.MsgLabel()->geometry();
    seen.labelText = form.MsgLabel()->text();
    seen.labelWraps = form.MsgLabel()->wordWrap();
    auto buttons = form.pnButtons()->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    for (auto* b : buttons) {
        seen.captionsLeftToRight << b->text();
        seen.buttonsLeftToRight.push_back(b->geometry());
    }
    if (form.cbMsg())
        seen.checkBox = form.cbMsg()->geometry();
    seen.stayOnTop = form.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.frameless = form.windowFlags().testFlag(Qt::FramelessWindowHint);
    return seen;
}

struct GeometryCase {
    const char* name;
    QString message;
    QStringList buttons;
    unsigned type;
    QString checkBox;
    int buttonHeight;
};

TEST(AdvDialogs, GeometryByTable) {
    const QFontMetrics fm(dialogFont());
    const QString longLine =
        QStringLiteral("The station database could not be copied to the temporary folder ")
            .repeated(6);
    const GeometryCase cases[] = {
        {"info, one short line", "Done", {"&Ok"}, mtInformation, {}, 40},
        {"question, two buttons", "Back up?", {"&Yes", "&No"}, mtQuestion, {}, 40},
        {"no icon", "Plain", {"&Ok"}, mtNone, {}, 40},
        {"long line wraps", longLine, {"&Ok"}, mtError, {}, 40},
        {"three lines", "Old size: 1\r\nNew size: 2\r\nRate: 3", {"&Ok"}, mtWarning, {}, 40},
        {"wide captions", "Which?", {"Restore the backup now", "&Cancel", "x"}, mtQuestion, {}, 30},
        {"check box", "Again?", {"&Yes", "&No"}, mtQuestion, "Do not ask again", 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<Seen> seen;
        int result = 0;
        {
            DialogAnswerer answer([&](TMessageForm& form) {
                seen = look(form);
                click(form.buttonForCaption(int(c.buttons.size()) - 1));
            });
            result = CreateAdvMsgDialog(c.message, c.buttons, c.type, "Header", c.buttonHeight,
                                        false, false, false, c.checkBox, "Dialogs", "Key", 9);
        }
        ASSERT_TRUE(seen);
        EXPECT_EQ(result, 100 + int(c.buttons.size()) - 1);
        EXPECT_TRUE(seen->stayOnTop);
        EXPECT_TRUE(seen->frameless);
        EXPECT_EQ(seen->title, "Header");

        // The label: unwrapped lines, or wrapped at half the screen + 68.
        const QString text = QString(c.message).replace("\r\n", "\n");
        QSize labelSize = fm.size(0, text);
        const bool wraps = labelSize.width() > maxTextWidth();
        EXPECT_EQ(seen->labelWraps, wraps);
        if (wraps) {
            labelSize.setWidth(maxTextWidth() - 32);
            EXPECT_GT(seen->label.height(), 2 * fm.height());
        } else {
            EXPECT_EQ(seen->label.size(), labelSize);
        }
        labelSize = seen->label.size();
        const bool icon = c.type != mtNone;
        EXPECT_EQ(seen->icon.has_value(), icon);
        EXPECT_EQ(seen->label.left(), icon ? 63 : 16);
        if (labelSize.height() < 33) {
            EXPECT_EQ(seen->label.top(), 16 - labelSize.height() / 2 + 18);
            if (icon) { // the text line is centred on the icon's middle
                EXPECT_NEAR(seen->label.center().y(), seen->icon->center().y(), 1);
            }
        } else {
            EXPECT_EQ(seen->label.top(), 18);
        }
        if (icon) {
            EXPECT_EQ(*seen->icon, QRect(16, 18, 32, 32));
        }

        // Buttons: one width for all, right to left from 16 pixels off the edge, 7 apart.
        int buttonWidth = 100;
        for (const auto& caption : c.buttons)
            buttonWidth =
                std::max(buttonWidth, QFontMetrics(dialogFont()).horizontalAdvance(caption) + 8);
        EXPECT_EQ(seen->captionsLeftToRight, c.buttons);
        const int n = int(c.buttons.size());
        const int messageWidth = icon ? 32 + labelSize.width() + 55 : labelSize.width() + 40;
        const int width = std::max({220, messageWidth, n * (buttonWidth + 7) + 31});
        const int height = std::max(140, labelSize.height() + c.buttonHeight + 67 +
                                             (c.checkBox.isEmpty() ? 0 : 32));
        EXPECT_EQ(seen->size, QSize(width, height));
        EXPECT_EQ(seen->pnButtons, QRect(1, height - 2 - 65, width - 4, 64));
        EXPECT_EQ(seen->pnMain, QRect(1, 1, width - 4, height - 69));
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(c.buttons[i].toStdString());
            const int k = n - 1 - i;
            EXPECT_EQ(seen->buttonsLeftToRight[i],
                      QRect(width - 4 - 16 - buttonWidth - (buttonWidth + 7) * k, 10, buttonWidth,
                            c.buttonHeight));
        }
        EXPECT_EQ(seen->checkBox.has_value(), !c.checkBox.isEmpty());
        if (seen->checkBox) {
            EXPECT_EQ(seen->checkBox->left(), seen->label.left());
            EXPECT_EQ(seen->checkBox->bottom() + 1, seen->pnMain.height() - 8);
        }
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_NEAR(seen->centre.x(), screen.center().x(), 1);
        EXPECT_NEAR(seen->centre.y(), screen.center().y(), 1);
    }
}

TEST(AdvDialogs, FixedKindsHaveTheirSizesIconsAndTitle) {
    QGuiApplication::setApplicationDisplayName("Pellisar");
    struct Kind {
        const char* name;
        std::function<int()> show;
        QStyle::StandardPixmap icon;
        QStringList captions;
        QSize size;
        int expected;
    };
    const Kind kinds[] = {
        {"info",
         [] { return DlgInfo("Done", ""); },
         QStyle::SP_MessageBoxInformation,
         {"&Ok"},
         {220, 140},
         1},
        {"error",
         [] { return DlgError("Failed", ""); },
         QStyle::SP_MessageBoxCritical,
         {"&Ok"},
         {220, 140},
         1},
        {"warning",
         [] { return DlgWarning("Careful", ""); },
         QStyle::SP_MessageBoxWarning,
         {"&Ok"},
         {220, 140},
         1},
        {"ask",
         [] { return DlgAsk("Sure?", "", "", "", 6); },
         QStyle::SP_MessageBoxQuestion,
         {"&Yes", "&No"},
         {245, 140},
         6},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::optional<Seen> seen;
        QImage icon;
        DialogAnswerer answer([&](TMessageForm& form) {
            seen = look(form);
            icon = form.image()->pixmap().toImage();
            click(form.buttonForCaption(0));
        });
        EXPECT_EQ(kind.show(), kind.expected);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->title, "Pellisar");
        EXPECT_EQ(seen->size, kind.size);
        EXPECT_EQ(seen->captionsLeftToRight, kind.captions);
        EXPECT_EQ(icon, QApplication::style()->standardIcon(kind.icon).pixmap(32, 32).toImage());
    }
    // A caption of the caller's own is kept.
    QString title;
    DialogAnswerer answer([&](TMessageForm& form) {
        title = form.windowTitle();
        click(form.buttonForCaption(0));
    });
    DlgError("Failed", "Backup");
    EXPECT_EQ(title, "Backup");
}

TEST(AdvDialogs, DlgAskAnswersNoWithSevenAndIgnoresEscapeAndAltF4) {
    bool stillShownAfterKeys = false;
    bool closeRefused = false;
    QString focused;
    DialogAnswerer answer([&](TMessageForm& form) {
        focused = form.focusWidget() ? form.focusWidget()->objectName() : QString();
        QTest::keyClick(&form, Qt::Key_Escape);
        QTest::keyClick(form.buttonForCaption(0), Qt::Key_Escape);
        QTest::keyClick(form.buttonForCaption(0), Qt::Key_F4, Qt::AltModifier);
        closeRefused = !form.close();
        stillShownAfterKeys = form.isVisible();
        click(form.buttonForCaption(1));
    });
    EXPECT_EQ(DlgAsk("Do you wish to do a backup beforehand?", "", "", "", 6), 7);
    EXPECT_TRUE(stillShownAfterKeys);
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(answer.shown, 1);
}

TEST(AdvDialogs, KeysAnswerThroughTheFocusedButtonAndAccessKeys) {
    {
        DialogAnswerer answer([](TMessageForm& form) {
            // Tab order runs in caption order; Enter presses the focused button.
            form.buttonForCaption(0)->setFocus();
            QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(form.focusWidget(), form.buttonForCaption(1));
            QTest::keyClick(form.focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(DlgAsk("Sure?"), 7);
    }
    {
        DialogAnswerer answer(
            [](TMessageForm& form) { QTest::keyClick(form.buttonForCaption(0), Qt::Key_Space); });
        EXPECT_EQ(DlgAsk("Sure?"), 6);
    }
    {
        DialogAnswerer answer([](TMessageForm& form) {
            // The access key presses the button, which lets go after its own animation.
            QTest::keyClick(form.windowHandle(), Qt::Key_N, Qt::AltModifier);
            EXPECT_TRUE(form.buttonForCaption(1)->isDown());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }));
        });
        EXPECT_EQ(DlgAsk("Sure?"), 7);
    }
}

struct CancelCase {
    const char* name;
    bool closeEnabled, cancelEnabled, altF4Enabled;
    int key; // 0: a close request from the window system
    Qt::KeyboardModifiers modifiers;
    int expected; // 0: still open
};

TEST(AdvDialogs, CancelRulesByTable) {
    const CancelCase cases[] = {
        {"Escape enabled", false, true, false, Qt::Key_Escape, Qt::NoModifier, 2},
        {"Escape disabled", false, false, true, Qt::Key_Escape, Qt::NoModifier, 0},
        {"Alt+F4 enabled", false, false, true, Qt::Key_F4, Qt::AltModifier, 2},
        {"Alt+F4 disabled", true, true, false, Qt::Key_F4, Qt::AltModifier, 0},
        {"F4 alone", false, true, true, Qt::Key_F4, Qt::NoModifier, 0},
        {"Ctrl+Alt+F4", false, true, true, Qt::Key_F4, Qt::AltModifier | Qt::ControlModifier, 0},
        {"close with system menu", true, false, false, 0, Qt::NoModifier, 2},
        {"close refused", false, true, false, 0, Qt::NoModifier, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool open = false;
        DialogAnswerer answer([&](TMessageForm& form) {
            if (c.key)
                QTest::keyClick(form.buttonForCaption(0), Qt::Key(c.key), c.modifiers);
            else
                form.close();
            open = form.isVisible();
            if (open)
                click(form.buttonForCaption(1));
        });
        const int result = CreateAdvMsgDialog("Go on?", {"&Go", "&Stop"}, mtQuestion, "", 40,
                                              c.closeEnabled, c.cancelEnabled, c.altF4Enabled);
        if (c.expected == 0) {
            EXPECT_TRUE(open);
            EXPECT_EQ(result, 101);
        } else {
            EXPECT_FALSE(open);
            EXPECT_EQ(result, c.expected);
        }
    }
}

TEST(AdvDialogs, TrailingLineBreakIsDroppedLoneReturnKept) {
    const QFontMetrics fm(dialogFont());
    struct Case {
        QString message;
        QString shown;
        int lines;
    };
    const Case cases[] = {
        {"Done\r\n", "Done", 1},
        {"Done\r", "Done\n", 2},
        {"Done\r\nagain\r\n", "Done\nagain", 2},
        {"A & B", "A & B", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        QString text;
        int height = 0;
        DialogAnswerer answer([&](TMessageForm& form) {
            text = form.MsgLabel()->text();
            height = form.MsgLabel()->height();
            click(form.buttonForCaption(0));
        });
        DlgInfo(c.message, "");
        EXPECT_EQ(text, c.shown);
        EXPECT_EQ(height, fm.size(0, c.shown).height());
        EXPECT_GE(height, c.lines * fm.lineSpacing() - fm.leading());
        EXPECT_LT(height, (c.lines + 1) * fm.lineSpacing());
    }
}

TEST(AdvDialogs, CheckBoxKeepsItsSettingAndPanelsDragTheWindow) {
    QString section, key;
    int value = -1;
    QPoint before, after, afterLabelDrag;
    DialogAnswerer answer([&](TMessageForm& form) {
        section = form.pbCbRegSection();
        key = form.pbCbRegKey();
        value = form.pbCbRegValue();
        EXPECT_EQ(form.cbMsg()->text(), "Do not ask again");
        before = form.pos();
        QTest::mousePress(form.pnMain(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(form.pnMain(), QPoint(55, 35));
        QTest::mouseRelease(form.pnMain(), Qt::LeftButton, {}, QPoint(55, 35));
        after = form.pos();
        QTest::mousePress(form.MsgLabel(), Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseMove(form.MsgLabel(), QPoint(-8, 2));
        QTest::mouseRelease(form.MsgLabel(), Qt::LeftButton, {}, QPoint(-8, 2));
        afterLabelDrag = form.pos();
        click(form.buttonForCaption(0));
    });
    EXPECT_EQ(DlgAsk("Again?", "", "Do not ask again", "AskBackup", 6), 6);
    EXPECT_EQ(section, "Dialogs");
    EXPECT_EQ(key, "AskBackup");
    EXPECT_EQ(value, 0);
    EXPECT_EQ(after - before, QPoint(50, 30));
    EXPECT_EQ(afterLabelDrag - after, QPoint(-10, 0));
}

TEST(AdvDialogs, InstalledMessagesShowTheDialogs) {
    QGuiApplication::setApplicationDisplayName("Pellisar");
    installDialogMessages();
    QStringList seen;
    DialogAnswerer answer([&](TMessageForm& form) {
        seen << form.windowTitle() + ": " + form.MsgLabel()->text();
        click(form.buttonForCaption(0));
    });
    showError("Invalid Date");
    showWarning("Careful", "Backup");
    showInfo("Done");
    EXPECT_EQ(askQuestion("Do you wish to do a backup beforehand?"), idYes);
    setMessageSink(nullptr);
    EXPECT_EQ(seen, QStringList({"Pellisar: Invalid Date", "Backup: Careful", "Pellisar: Done",
                                 "Pellisar: Do you wish to do a backup beforehand?"}));
}

} // namespace
