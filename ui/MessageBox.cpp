#include "ui/MessageBox.h"
#include "ui/AppInfo.h"

#include <QGridLayout>
#include <QMessageBox>

namespace zorvane {

int titleBarWidth(const QWidget& box, const QString& title)
{
    QFont bold = box.font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(title) + TitleBarExtras;
}

namespace {

class RealMessageBoxes final : public MessageBoxes {
public:
    MsgResult show(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                   const QString& title) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(title);
        // Lines are separated by a lone carriage return; the label wants line feeds.
        box.setText(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        box.setIcon(icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
        if (buttons == MsgButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        box.setWindowModality(Qt::ApplicationModal);
        // The window manager cuts a title longer than the box: the box is made
        // wide enough for it (in a bold face, with room for the title bar's
        // icon and buttons).
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            grid->addItem(new QSpacerItem(titleBarWidth(box, title), 0, QSizePolicy::Minimum,
                                          QSizePolicy::Minimum),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
        const int answer = box.exec();
        if (buttons == MsgButtons::Ok)
            return MsgResult::Ok;
        return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
};

RealMessageBoxes realBoxes;
MessageBoxes* installed = nullptr;

} // namespace

MessageBoxes& MessageBoxes::current() { return installed ? *installed : realBoxes; }

void MessageBoxes::install(MessageBoxes* boxes) { installed = boxes; }

MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                 const QString& title)
{
    return MessageBoxes::current().show(parent, text, buttons, icon,
                                        title.isEmpty() ? AppInfo::title() : title);
}

} // namespace zorvane
