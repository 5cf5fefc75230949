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
            *to++ = QChar(upperChar(u));
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
    : rule_(std::u16string_view(reinterpret_cast<const char16_t*>(term.utf16()), std::size_t(term.size()))),
      kind_(rule_.kind()),
      inner_(QString::fromStdU16String(rule_.inner()))
{
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
    return rule_.decide(intPos, static_cast<std::size_t>(upper_.size()));
}

} // namespace zorvane::lookup
