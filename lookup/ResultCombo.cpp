#include "lookup/ResultCombo.h"
#include "lookup/SortedListModel.h"

#include <QLineEdit>
#include <QListView>
#include <QStyle>

#include <algorithm>

namespace zorvane::lookup {

// Keeps the field's text, caret and selection across a change of the list:
// the combo box writes the field when its list is reset or first filled.
class ResultCombo::FieldKeeper {
public:
    explicit FieldKeeper(ResultCombo* box)
        : box_(box),
          text_(box->lineEdit()->text()),
          cursor_(box->lineEdit()->cursorPosition()),
          selectionStart_(box->lineEdit()->selectionStart()),
          selectionLength_(box->lineEdit()->selectedText().size())
    {
    }
    ~FieldKeeper()
    {
        QLineEdit* field = box_->lineEdit();
        if (box_->currentIndex() != -1)
            box_->setCurrentIndex(-1);
        if (field->text() != text_) {
            field->setText(text_);
            if (selectionStart_ >= 0)
                field->setSelection(selectionStart_, selectionLength_);
            else
                field->setCursorPosition(cursor_);
        }
    }

private:
    ResultCombo* box_;
    QString text_;
    int cursor_;
    int selectionStart_;
    int selectionLength_;
};

ResultCombo::ResultCombo(QWidget* parent)
    : QComboBox(parent), entries_(new SortedListModel(this))
{
    setEditable(true);
    setModel(entries_);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* list = qobject_cast<QListView*>(view()))
        list->setUniformItemSizes(true);
    setCurrentIndex(-1);
    // A chosen entry shows from its start, like any text the program writes.
    connect(this, &QComboBox::activated, lineEdit(), [this] { lineEdit()->home(false); });
}

QString ResultCombo::fieldText() const { return lineEdit()->text(); }

void ResultCombo::setFieldText(const QString& text)
{
    if (lineEdit()->text() != text) {
        lineEdit()->setText(text);
        lineEdit()->home(false);   // a text longer than the box shows its start
    }
}

int ResultCombo::entryCount() const { return entries_->count(); }

bool ResultCombo::hasEntry(const QString& text) const { return entries_->contains(text); }

QString ResultCombo::entry(int row) const { return entries_->at(row); }

void ResultCombo::addEntry(const QString& text)
{
    if (entries_->count() == 0) {
        // The first entry of an empty list would become the current one.
        FieldKeeper keep(this);
        entries_->add(text);
    } else {
        entries_->add(text);
    }
}

void ResultCombo::clearAll()
{
    if (entries_->count() > 0)
        entries_->clear();
    setCurrentIndex(-1);
    lineEdit()->clear();
}

void ResultCombo::removeEntries()
{
    if (entries_->count() == 0)
        return;
    FieldKeeper keep(this);
    entries_->clear();
}

void ResultCombo::beginBatch() { entries_->beginBatch(); }

void ResultCombo::endBatch()
{
    FieldKeeper keep(this);
    entries_->endBatch();
}

void ResultCombo::showPopup()
{
    QAbstractItemView* list = view();
    const QFontMetrics metrics(list->font());
    int longest = 0;
    for (int row = 0; row < entries_->count(); ++row)
        longest = std::max(longest, metrics.horizontalAdvance(entries_->at(row)));
    // The entry's own margins, the list's frame and room for its scroll bar.
    const int margins = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 8
        + 2 * list->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setMinimumWidth(std::max(width(), longest + margins));
    QComboBox::showPopup();
}

void ResultCombo::focusOutEvent(QFocusEvent* event)
{
    // Leaving the box is no choice: QComboBox would otherwise pick the entry
    // equal to the typed text and report it as activated.
    const bool blocked = lineEdit()->blockSignals(true);
    QComboBox::focusOutEvent(event);
    lineEdit()->blockSignals(blocked);
}

} // namespace zorvane::lookup
