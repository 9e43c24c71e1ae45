#pragma once

// Support for the main window's tests: the real window with the program's start-up
// applied (title, font, the visual style), shown offscreen; every message answered
// through the dialog seams so nothing waits for a person; drops made of real drag-and-drop
// events; a station database in the test's own folder with TMPDIR pointed beside it.

#include "app/AppStartup.h"
#include "app/CategoryTreeView.h"
#include "app/MainWindow.h"
#include "app/PlainMessages.h"
#include "common/ui/CalendarPopup.h"
#include "common/ui/DateField.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/SystemColours.h"
#include "support/StationFixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}
inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name(QColor::HexArgb).toStdString();
}

namespace app_testing {

// The program's start-up steps that a test process can take: once per process.
inline void applyProgramStartup() {
    static const bool done = [] {
        initialiseApplication(*qApp);
        const QString error = applyVisualStyle(*qApp);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        installPaletteColours();
        installDialogMessages();
        return true;
    }();
    (void)done;
}

// A message as the operator saw it.
struct SeenMessage {
    QString text;
    QString caption;
    bool plainBox = false;    // the plain message box, not the tool's own dialog
    QMessageBox::Icon icon{}; // of a plain box
    int buttons = 0;          // of the tool's dialog
};

// Answers every message while it lives: questions with `answer` (6 Yes, 7 No), everything
// else with its OK button. `whileShown` runs first, while the message is on screen.
class MessageAnswerer final {
public:
    MessageAnswerer() {
        setMessageDialogHook([this](TMessageForm& form) {
            seen.push_back({form.MsgLabel()->text(),
                            form.windowTitle(),
                            false,
                            {},
                            int(form.cmButtonArray().size())});
            if (whileShown)
                whileShown(seen.back());
            const bool question = form.cmButtonArray().size() == 2;
            if (QPushButton* b = form.buttonForCaption(question && answer == 7 ? 1 : 0))
                QTest::mouseClick(b, Qt::LeftButton);
            if (form.isVisible())
                form.done(mrCancel);
        });
        setPlainMessageHook([this](QMessageBox& box) {
            seen.push_back({box.text(), box.windowTitle(), true, box.icon(), 1});
            if (whileShown)
                whileShown(seen.back());
            if (QAbstractButton* ok = box.button(QMessageBox::Ok))
                QTest::mouseClick(ok, Qt::LeftButton);
            if (box.isVisible())
                box.done(QMessageBox::Ok);
        });
    }
    ~MessageAnswerer() {
        setMessageDialogHook({});
        setPlainMessageHook({});
    }
    MessageAnswerer(const MessageAnswerer&) = delete;
    MessageAnswerer& operator=(const MessageAnswerer&) = delete;

    QStringList texts() const {
        QStringList t;
        for (const SeenMessage& m : seen)
            t << m.text;
        return t;
    }

    int answer = 7;
    std::function<void(const SeenMessage&)> whileShown;
    std::vector<SeenMessage> seen;
};

// What a drag-and-drop onto a target came to.
struct DropAnswer {
    bool taken = false;                            // the target took the drag as it hovered
    Qt::DropAction hoverAction = Qt::IgnoreAction; // the action it answered while hovering
    Qt::DropAction dropAction = Qt::IgnoreAction;  // the action the drop was done with
    bool dropped = false;                          // the drop reached the target and was taken
};

// Drags mime data onto target, offering the actions with `proposed` first, and drops it
// there when the target took the drag, as a file manager or another program would. The
// drop's own handling runs before this returns.
inline DropAnswer dragAndDropWith(QWidget* target, const QMimeData& data, Qt::DropActions offered,
                                  Qt::DropAction proposed) {
    DropAnswer answer;
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QApplication::sendEvent(target, &enter);
    answer.taken = enter.isAccepted() && enter.dropAction() != Qt::IgnoreAction;
    answer.hoverAction = enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
    if (answer.taken) {
        QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(proposed);
        QApplication::sendEvent(target, &drop);
        answer.dropped = drop.isAccepted();
        answer.dropAction = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
    // The window handles a drop once the drag-and-drop operation has returned.
    QCoreApplication::processEvents();
    return answer;
}

// A drop offered as a copy; whether the target took the drag.
inline bool dragAndDrop(QWidget* target, const QMimeData& data) {
    return dragAndDropWith(target, data, Qt::CopyAction, Qt::CopyAction).taken;
}

inline void setFileUrls(QMimeData& data, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
}

inline bool dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData data;
    setFileUrls(data, paths);
    return dragAndDrop(target, data);
}

// The real window, shown, with a station database in the test's folder.
class WindowTest : public testing_support::StationTest {
protected:
    void SetUp() override {
        StationTest::SetUp();
        applyProgramStartup();
        openWindow();
    }
    void TearDown() override {
        if (window)
            window->hide();
        window.reset();
        StationTest::TearDown();
    }

    void openWindow() {
        window = std::make_unique<TfmMain>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <class T = QWidget> T* child(const char* name) const {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    TPanel* dropArea() const { return child<TPanel>("Panel1"); }
    QPushButton* startButton() const { return child<QPushButton>("cmOk"); }
    QPushButton* closeButton() const { return child<QPushButton>("cmClose"); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }

    // Drops the station database and checks that Start came on.
    void dropStation() {
        dropFiles(dropArea(), {station});
        ASSERT_TRUE(startButton()->isEnabled()) << messages.texts().join(u'|').toStdString();
    }

    // A real click in the middle of a node's row.
    void clickNode(int node) {
        TCategoryTreeView& tv = window->categoryView();
        const QModelIndex index = tv.categories().indexOfNode(node);
        tv.scrollTo(index);
        QTest::mouseClick(tv.viewport(), Qt::LeftButton, Qt::NoModifier,
                          tv.visualRect(index).center());
    }
    void clickCategory(int categoryId) { clickNode(window->tree().indexOfCategory(categoryId)); }

    std::vector<int> tickedIds() const {
        std::vector<int> ids;
        const CategoryTree& t = window->tree();
        for (int i = 0; i < t.count(); ++i) {
            if (t.isTicked(i))
                ids.push_back(t.categoryId(i));
        }
        return ids;
    }

    MessageAnswerer messages;
    std::unique_ptr<TfmMain> window;
};

} // namespace app_testing
