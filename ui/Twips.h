#pragma once
#include <QRect>
#include <QSize>
#include <cmath>

namespace zorvane {

// Layout numbers are kept in twips, as designed; a twip is 1/15 of a
// device-independent pixel. These are the only conversions.
constexpr int twips(int t) { return t >= 0 ? (t * 2 + 15) / 30 : -((-t * 2 + 15) / 30); }
constexpr int toTwips(int px) { return px * 15; }
inline QRect twipRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
inline QSize twipSize(int width, int height) { return QSize(twips(width), twips(height)); }

} // namespace zorvane
