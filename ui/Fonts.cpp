#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace zorvane {

namespace {

void addSubstitutions()
{
    static const bool added = [] {
        const QStringList families = QFontDatabase::families();
        if (!families.contains(QStringLiteral("Arial"), Qt::CaseInsensitive))
            QFont::insertSubstitutions(QStringLiteral("Arial"),
                                       {QStringLiteral("Liberation Sans"),
                                        QStringLiteral("Arimo")});
        if (!families.contains(QStringLiteral("MS Sans Serif"), Qt::CaseInsensitive))
            QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                       {QStringLiteral("Microsoft Sans Serif"),
                                        QStringLiteral("Arial"),
                                        QStringLiteral("Liberation Sans")});
        return true;
    }();
    Q_UNUSED(added);
}

} // namespace

QFont designFont(const QString& family, qreal pointSize, bool bold)
{
    addSubstitutions();
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont defaultControlFont() { return designFont(QStringLiteral("MS Sans Serif"), 8.25); }

} // namespace zorvane
