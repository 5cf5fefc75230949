#pragma once
// The lookup window's search rules without Qt, shared by the window
// (SearchTerm) and zorvane-db search: what a term asks for, the upper case
// both sides are compared in, and the decision from the first occurrence.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvane::lookup {

// A star at the start of a term means "ends with", at the end "starts with",
// at both ends "strictly inside"; otherwise the term may stand anywhere. A
// star elsewhere is an ordinary character. "*" alone and "**" are of the kind
// inside with nothing inside, which matches nothing.
enum class MatchKind { Contains, StartsWith, EndsWith, Inside };

// `c` in upper case, one UTF-16 unit for one (a character whose upper case
// takes more than one keeps its own form; surrogates stay as they are).
char16_t upperChar(char16_t c);
// `text` with every unit upper-cased by upperChar, into `out`.
void upperInto(std::u16string_view text, std::u16string& out);

class SearchRule {
public:
    explicit SearchRule(std::u16string_view term);

    MatchKind kind() const { return kind_; }
    // What is looked for, upper-cased.
    const std::u16string& inner() const { return inner_; }

    // The decision for a value of `valueLength` units in which the inner
    // term first occurs at the 1-based position `intPos` (0: it does not):
    // only that first occurrence counts.
    bool decide(std::int32_t intPos, std::size_t valueLength) const;

    // Whether `value` matches; `intPos` gets the 1-based position of the
    // first occurrence of the inner term in the upper-cased value, or 0.
    bool matches(std::u16string_view value, std::int32_t& intPos);

private:
    MatchKind kind_;
    std::u16string inner_;
    std::u16string upper_;
};

} // namespace zorvane::lookup
