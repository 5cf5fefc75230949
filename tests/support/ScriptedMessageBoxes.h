#pragma once
#include "ui/MessageBox.h"

#include <QList>
#include <QString>

#include <functional>

namespace zorvane::test {

// Answers message boxes from a script and records what was asked. Installs
// itself for its lifetime. A box asked for when the script is empty is
// answered with Ok (OK-only boxes) or No, and counted as unexpected.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Asked {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
        QString title;
    };

    ScriptedMessageBoxes() { MessageBoxes::install(this); }
    ~ScriptedMessageBoxes() override { MessageBoxes::install(nullptr); }

    void answer(MsgResult result) { script.append(result); }
    // Runs `hook` while the next box is "open" (for checks of what the window
    // shows at that moment), then answers it.
    template <typename F> void whileOpen(F hook) { hooks.append(hook); }

    MsgResult show(QWidget*, const QString& text, MsgButtons buttons, MsgIcon icon,
                   const QString& title) override
    {
        asked.append({text, buttons, icon, title});
        if (!hooks.isEmpty())
            hooks.takeFirst()();
        if (!script.isEmpty())
            return script.takeFirst();
        ++unexpected;
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::No;
    }

    QList<Asked> asked;
    QList<MsgResult> script;
    QList<std::function<void()>> hooks;
    int unexpected = 0;
};

} // namespace zorvane::test
