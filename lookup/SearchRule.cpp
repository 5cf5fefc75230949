#include "lookup/SearchRule.h"

#include <clocale>
#include <wctype.h>

namespace zorvane::lookup {

char16_t upperChar(char16_t c) {
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (!utf8)
        return c;
    const wint_t upper = ::towupper_l(c, utf8);
    // The Greek letters with a iota subscript: their upper case is two
    // letters; the C library gives the title-case letter instead, the window
    // keeps the letter as it is.
    const bool titleCase = (upper >= 0x1F88 && upper <= 0x1FAF && (upper & 0x0F) >= 0x08) || upper == 0x1FBC ||
                           upper == 0x1FCC || upper == 0x1FFC;
    if (upper > 0xFFFF || (titleCase && upper != c))
        return c;
    return static_cast<char16_t>(upper);
}

void upperInto(std::u16string_view text, std::u16string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = upperChar(text[i]);
}

SearchRule::SearchRule(std::u16string_view term) {
    const bool starFirst = !term.empty() && term.front() == u'*';
    const bool starLast = !term.empty() && term.back() == u'*';
    std::u16string_view inner = term;
    if (starFirst && starLast) {
        kind_ = MatchKind::Inside;
        inner = term.size() >= 2 ? term.substr(1, term.size() - 2) : std::u16string_view();
    } else if (starFirst) {
        kind_ = MatchKind::EndsWith;
        inner = term.substr(1);
    } else if (starLast) {
        kind_ = MatchKind::StartsWith;
        inner = term.substr(0, term.size() - 1);
    } else {
        kind_ = MatchKind::Contains;
    }
    upperInto(inner, inner_);
}

bool SearchRule::decide(std::int32_t intPos, std::size_t valueLength) const {
    // Where the inner term would have to begin to end with the value.
    const auto end = static_cast<std::int64_t>(valueLength) - static_cast<std::int64_t>(inner_.size()) + 1;
    switch (kind_) {
    case MatchKind::Contains:
        return intPos > 0;
    case MatchKind::StartsWith:
        return intPos == 1;
    case MatchKind::EndsWith:
        return intPos > 0 && intPos == end;
    case MatchKind::Inside:
        return intPos != 0 && intPos != 1 && intPos != end;
    }
    return false;
}

bool SearchRule::matches(std::u16string_view value, std::int32_t& intPos) {
    upperInto(value, upper_);
    const std::size_t at = upper_.find(inner_);
    intPos = at == std::u16string::npos ? 0 : static_cast<std::int32_t>(at + 1);
    return decide(intPos, upper_.size());
}

} // namespace zorvane::lookup
