#include "tools/RecordChoice.h"

#include "lookup/SearchRule.h"
#include "records/jet/Error.h"
#include "records/jet/ValueText.h"

#include <algorithm>

namespace zorvane::tools {

FieldText splitAssignment(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos)
        throw UsageError("\"" + text + "\" is not FIELD=VALUE");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

RecordChoice readChoice(const Arguments& arguments, std::size_t first, const std::vector<std::string>& options) {
    RecordChoice choice;
    const auto allowed = [&](const std::string& name) {
        return std::find(options.begin(), options.end(), name) != options.end();
    };
    for (std::size_t i = first; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        bool taken = false;
        for (const char* name : {"--where", "--like"}) {
            if (!allowed(name))
                continue;
            const std::string option = name;
            std::string value;
            if (a == option) {
                if (i + 1 == arguments.size())
                    throw UsageError(option + " needs FIELD=VALUE after it");
                value = arguments[++i];
            } else if (a.starts_with(option + "=")) {
                value = a.substr(option.size() + 1);
            } else
                continue;
            (option == "--where" ? choice.where : choice.like).push_back(splitAssignment(value));
            taken = true;
            break;
        }
        if (taken)
            continue;
        if (a == "--all" && allowed(a))
            choice.all = true;
        else if (a == "--allow-duplicate" && allowed(a))
            choice.allowDuplicate = true;
        else if (a.starts_with("--") && a.find('=') == std::string::npos)
            throw UsageError("there is no option " + a + " here");
        else
            choice.rest.push_back(a);
    }
    return choice;
}

std::vector<std::size_t> columnsOf(const records::RecordCursor& set, const std::string& file,
                                   const std::vector<FieldText>& fields) {
    std::vector<std::size_t> columns;
    for (const FieldText& f : fields) {
        const std::size_t column = set.column(jet::fromUtf8(f.field));
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == column)
                throw jet::Error(file + ": field \"" + set.columnNames()[column] + "\" is given twice (" +
                                 fields[i].field + "=" + fields[i].value + ", " + f.field + "=" + f.value + ").");
        columns.push_back(column);
    }
    return columns;
}

bool likeMatches(std::u16string_view pattern, std::u16string_view value) {
    std::u16string p, v;
    lookup::upperInto(pattern, p);
    lookup::upperInto(value, v);
    // Greedy with one step back to the last star.
    std::size_t i = 0, j = 0, star = std::u16string::npos, mark = 0;
    while (j < v.size()) {
        if (i < p.size() && (p[i] == u'?' || p[i] == v[j])) {
            ++i, ++j;
        } else if (i < p.size() && p[i] == u'*') {
            star = i++;
            mark = j;
        } else if (star != std::u16string::npos) {
            i = star + 1;
            j = ++mark;
        } else
            return false;
    }
    while (i < p.size() && p[i] == u'*')
        ++i;
    return i == p.size();
}

std::vector<std::int32_t> chosenRecords(const records::RecordCursor& set, const std::string& file,
                                        const RecordChoice& choice) {
    std::vector<records::RecordCursor::Condition> conditions;
    const std::vector<std::size_t> whereColumns = columnsOf(set, file, choice.where);
    for (std::size_t i = 0; i < whereColumns.size(); ++i)
        conditions.push_back({whereColumns[i], jet::fromUtf8(choice.where[i].value)});
    std::vector<std::int32_t> positions;
    if (!conditions.empty()) {
        positions = set.positionsWhere(conditions);
    } else {
        positions.resize(static_cast<std::size_t>(set.RecordCount()));
        for (std::size_t i = 0; i < positions.size(); ++i)
            positions[i] = static_cast<std::int32_t>(i);
    }
    if (choice.like.empty())
        return positions;
    std::vector<std::pair<std::size_t, std::u16string>> likes;
    const std::vector<std::size_t> likeColumns = columnsOf(set, file, choice.like);
    for (std::size_t i = 0; i < likeColumns.size(); ++i)
        likes.emplace_back(likeColumns[i], jet::fromUtf8(choice.like[i].value));
    std::vector<std::int32_t> kept;
    for (const std::int32_t at : positions) {
        bool all = true;
        for (const auto& [column, pattern] : likes) {
            const std::u16string* value = set.valueAt(at, column);
            if (!value || !likeMatches(pattern, *value)) {
                all = false;
                break;
            }
        }
        if (all)
            kept.push_back(at);
    }
    return kept;
}

std::string describe(const std::vector<FieldText>& where) {
    std::string out;
    for (const FieldText& w : where)
        out += (out.empty() ? "" : " ") + w.field + "=" + w.value;
    return out;
}

std::string withThousands(std::int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return (n < 0 ? "-" : "") + digits;
}

void requireRecord(const records::RecordCursor& set, const std::string& file, std::int32_t n) {
    const std::int32_t count = set.RecordCount();
    if (n < count)
        return;
    const std::string table = "table " + set.tableName();
    if (count == 0)
        throw jet::Error(file + ": " + table + " has no records, so there is no record " + withThousands(n) + ".");
    throw jet::Error(file + ": " + table + " has " + withThousands(count) + (count == 1 ? " record" : " records") +
                     " (0 to " + withThousands(count - 1) + "), so there is no record " + withThousands(n) + ".");
}

} // namespace zorvane::tools
