#pragma once
#include "lookup/SearchRule.h"

#include <QString>
#include <QStringMatcher>
#include <QtGlobal>

#include <optional>

namespace zorvane::lookup {

// A search term with its wildcards: a star at the start means "ends with", at
// the end "starts with", at both ends "strictly inside"; otherwise the term may
// stand anywhere. A star elsewhere is an ordinary character. Texts are compared
// upper-cased, character by character. The rules are SearchRule's (shared with
// zorvane-db search); this adds Qt's strings and a matcher for the walk.
class SearchTerm {
public:
    using Kind = MatchKind;

    explicit SearchTerm(const QString& term);

    Kind kind() const { return kind_; }
    // What is looked for, upper-cased.
    const QString& inner() const { return inner_; }

    // Whether `value` matches. Sets `intPos` to the 1-based position of the first
    // occurrence of the inner term in the upper-cased value, 0 when there is none
    // (and for a null value, which never matches). Only the first occurrence
    // counts.
    bool matches(const std::optional<QString>& value, qint32& intPos);

private:
    SearchRule rule_;
    Kind kind_;
    QString inner_;
    QStringMatcher matcher_;
    QString upper_;
};

// `text` with every character in upper case, one character for one.
QString upperCase(QStringView text);

} // namespace zorvane::lookup
