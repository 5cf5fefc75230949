#include "lookup/WindowInput.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace zorvane::lookup {

namespace {

// Swallows the user's input that queued up while a search walked.
class InputDiscarder final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::InputMethod:
            return true;
        case QEvent::Close:
            return event->spontaneous();
        default:
            return false;
        }
    }
};

} // namespace

bool isEnter(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
        && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool isCtrlEnter(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
        && (key.modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

bool deliversCharacter(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    if (key.modifiers() & Qt::AltModifier)
        return false;
    return !key.text().isEmpty();
}

void discardQueuedInput()
{
    InputDiscarder discarder;
    qApp->installEventFilter(&discarder);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&discarder);
}

} // namespace zorvane::lookup
