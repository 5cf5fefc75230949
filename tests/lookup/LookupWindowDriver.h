#pragma once
// Drives the lookup window as a user does: open it over a database, type
// terms, choose list entries with the mouse, use the menu bar.
#include "lookup/frmMain.h"
#include "tests/support/ScriptedMessageBoxes.h"
#include "tests/support/WidgetDriving.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <memory>

namespace zorvane::test {

class LookupWindowDriver : public QObject {
protected:
    std::unique_ptr<frmMain> window;

    template <typename T> T* control(const char* name) const { return child<T>(window.get(), name); }
    QComboBox* cmbCode() const { return control<QComboBox>("cmbCode"); }
    QComboBox* cmbVendor() const { return control<QComboBox>("cmbVendor"); }
    QPlainTextEdit* txtAddress() const { return control<QPlainTextEdit>("txtAddress"); }
    QLabel* panel(int n) const { return control<QLabel>(n == 1 ? "sts1Panel1" : "sts1Panel2"); }
    QPushButton* button(const char* name) const { return control<QPushButton>(name); }
    QProgressBar* bar(const char* name) const { return control<QProgressBar>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        w->setFocus();
        QTest::keyClick(w, key, mods);
    }
    // Both boxes and both lists empty.
    bool listsEmpty() const
    {
        return cmbCode()->count() + cmbVendor()->count() == 0 && cmbCode()->currentText().isEmpty()
            && cmbVendor()->currentText().isEmpty();
    }
    // The chosen record: its address in the box, its number in the window.
    void verifyShown(const QString& address, qint32 recordNum) const
    {
        QCOMPARE(txtAddress()->toPlainText(), address);
        QCOMPARE(window->recordNum(), recordNum);
    }
    void verifyOutOfEditMode() const
    {
        QVERIFY(!window->editMode());
        for (const char* name : {"cmdUpdate", "cmdAdd", "CmdDelete"})
            QVERIFY2(!button(name)->isEnabled(), name);
        QCOMPARE(control<QAction>("mnuAdd")->text(), QStringLiteral("&Edit"));
    }

    bool open(const QString& path)
    {
        window = std::make_unique<frmMain>(path);
        window->show();
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowExposed(window.get())
            && QTest::qWaitFor([this] { return window->isActiveWindow(); });
    }
    // Types `term` into `box` and presses Enter there.
    void search(QComboBox* box, const QString& term) { typeAndEnter(box, term); }
    // Clear, then a search.
    void searchAfresh(QComboBox* box, const QString& term)
    {
        click("cmdClear");
        search(box, term);
    }
    // Chooses the first entry reading exactly `text` with the mouse.
    bool choose(QComboBox* box, const QString& text)
    {
        const int row = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        return row >= 0 && clickEntry(box, row) && box->currentText() == text;
    }
    // The Edit command on the menu bar.
    void toggleEditMode()
    {
        QMenuBar* bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(control<QAction>("mnuAdd")).center());
    }
    // `count` boxes asked so far, the last one this.
    static void verifyAsked(const ScriptedMessageBoxes& boxes, int count, const char* text, const char* title,
                            MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None)
    {
        QCOMPARE(boxes.asked.size(), count);
        const ScriptedMessageBoxes::Asked& asked = boxes.asked.last();
        QCOMPARE(asked.text, QString::fromLatin1(text));
        QCOMPARE(asked.title, QString::fromLatin1(title));
        QCOMPARE(asked.buttons, buttons);
        QCOMPARE(asked.icon, icon);
    }
    // Replaces the text of a box as the user does: select all, then type.
    void retype(QWidget* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }
};

} // namespace zorvane::test
