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
    static void verifyAsked(const ScriptedMessageBoxes::Asked& asked, const char* text, const char* title,
                            MsgButtons buttons, MsgIcon icon)
    {
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
