#pragma once
#include <QFont>
#include <QString>

namespace zorvane {

// Fonts of the windows' design. Where the system lacks a family named there, a
// face with the same metrics takes its place (Arial: Liberation Sans; MS Sans
// Serif: Microsoft Sans Serif, else Liberation Sans).
QFont designFont(const QString& family, qreal pointSize, bool bold = false);
// The controls' default: MS Sans Serif, 8.25 pt.
QFont defaultControlFont();

} // namespace zorvane
