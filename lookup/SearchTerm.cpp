#include "lookup/SearchTerm.h"

namespace zorvane::lookup {

namespace {

void upperInto(QStringView text, QString& out)
{
    out.resize(text.size());
    QChar* to = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            *to++ = QChar(u >= u'a' && u <= u'z' ? char16_t(u - 0x20) : u);
        else
            *to++ = c.toUpper();
    }
}

} // namespace

QString upperCase(QStringView text)
{
    QString out;
    upperInto(text, out);
    return out;
}

SearchTerm::SearchTerm(const QString& term)
{
    const bool starFirst = term.startsWith(QLatin1Char('*'));
    const bool starLast = term.endsWith(QLatin1Char('*'));
    const qsizetype length = term.size();
    if (starFirst && starLast) {
        // "*" alone has nothing inside it; like "**" it can match nothing.
        kind_ = Kind::Inside;
        inner_ = length >= 2 ? upperCase(QStringView(term).mid(1, length - 2)) : QString();
    } else if (starFirst) {
        kind_ = Kind::EndsWith;
        inner_ = upperCase(QStringView(term).mid(1));
    } else if (starLast) {
        kind_ = Kind::StartsWith;
        inner_ = upperCase(QStringView(term).left(length - 1));
    } else {
        kind_ = Kind::Contains;
        inner_ = upperCase(term);
    }
    matcher_.setPattern(inner_);
    matcher_.setCaseSensitivity(Qt::CaseSensitive);
}

bool SearchTerm::matches(const std::optional<QString>& value, qint32& intPos)
{
    if (!value) {
        intPos = 0;
        return false;
    }
    upperInto(*value, upper_);
    intPos = static_cast<qint32>(matcher_.indexIn(QStringView(upper_)) + 1);
    // Where the inner term would have to begin to end with the value.
    const qint32 end = static_cast<qint32>(upper_.size() - inner_.size() + 1);
    switch (kind_) {
    case Kind::Contains:
        return intPos > 0;
    case Kind::StartsWith:
        return intPos == 1;
    case Kind::EndsWith:
        return intPos > 0 && intPos == end;
    case Kind::Inside:
        return intPos != 0 && intPos != 1 && intPos != end;
    }
    return false;
}

} // namespace zorvane::lookup
