#pragma once
// Finding named controls and driving combo boxes the way a user does.
#include <QAbstractItemView>
#include <QComboBox>
#include <QStringList>
#include <QtTest>

namespace zorvane::test {

// The control called `name` inside `window`; a missing control ends the test run.
template <typename T> T* child(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

inline QStringList entries(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// The entries in plain code-unit order, for comparing lists whose own order
// is not the point.
inline QStringList sortedEntries(const QComboBox* box)
{
    QStringList out = entries(box);
    out.sort();
    return out;
}

inline QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Types `text` into `box` (after what is there) and presses Enter.
inline void typeAndEnter(QWidget* box, const QString& text)
{
    box->setFocus();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

// Drops the list of `box` down and clicks its entry `row` with the mouse.
inline bool clickEntry(QComboBox* box, int row)
{
    box->showPopup();
    QAbstractItemView* list = box->view();
    if (!QTest::qWaitFor([list] { return list->isVisible(); }))
        return false;
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    return box->currentIndex() == row;
}

} // namespace zorvane::test
