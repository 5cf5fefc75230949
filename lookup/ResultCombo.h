#pragma once
#include <QComboBox>
#include <QString>

namespace zorvane::lookup {

class SortedListModel;

// One of the lookup window's two boxes: an editable text field over a sorted
// drop-down list of entries. The program's own changes to the list never change
// the field's text unless asked to, and never count as a choice: only a choice
// the user makes in the list (mouse, arrow keys) emits activated().
class ResultCombo final : public QComboBox {
    Q_OBJECT
public:
    explicit ResultCombo(QWidget* parent = nullptr);

    QString fieldText() const;
    void setFieldText(const QString& text);

    int entryCount() const;
    bool hasEntry(const QString& text) const;
    QString entry(int row) const;
    // Adds an entry at its place in the list's order; the field keeps its text.
    void addEntry(const QString& text);
    // Removes every entry and empties the field.
    void clearAll();
    // Removes every entry; the field keeps its text, caret and selection.
    void removeEntries();

    // While a search runs, entries are gathered and sorted in once at its end.
    void beginBatch();
    void endBatch();

    // The list drops down at least as wide as its longest entry, however
    // narrow the box.
    void showPopup() override;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    class FieldKeeper;
    SortedListModel* entries_;
};

} // namespace zorvane::lookup
