#pragma once
#include <QString>

class QWidget;

namespace zorvane {

// Every message box of the program goes through this one interface, so that
// tests can answer them. Texts use a single carriage return between lines.
enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Warning };
// Values as the classic message-box API returns them (6 means Yes).
enum class MsgResult : int { Ok = 1, Yes = 6, No = 7 };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult show(QWidget* parent, const QString& text, MsgButtons buttons,
                           MsgIcon icon, const QString& title) = 0;

    // The one in force: the real QMessageBox unless a test installed another.
    static MessageBoxes& current();
    // Installs `boxes` (not owned); nullptr restores the real one.
    static void install(MessageBoxes* boxes);
};

// The width a box needs so that the window manager shows `title` whole: the
// title in bold and room for the title bar's icon and buttons.
inline constexpr int TitleBarExtras = 128;
int titleBarWidth(const QWidget& box, const QString& title);

// Shorthand for MessageBoxes::current().show(...). An empty title becomes the
// application title.
MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, const QString& title = QString());

} // namespace zorvane
