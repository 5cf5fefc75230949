#include "tools/IeeeListing.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <optional>

namespace zorvane::tools {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

QByteArrayView trimmed(QByteArrayView v) {
    while (!v.isEmpty() && isSpace(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isSpace(v.back()))
        v.chop(1);
    return v;
}

// Reads `count` hex digits at `pos`; advances it.
bool takeHex(QByteArrayView line, qsizetype& pos, int count, QByteArray& out) {
    if (pos + count > line.size())
        return false;
    for (int i = 0; i < count; ++i) {
        const char c = line[pos + i];
        if (!isHex(c))
            return false;
        out.append(static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c));
    }
    pos += count;
    return true;
}

// After the digits: at least one blank, then `marker`, then the name.
std::optional<QByteArrayView> nameAfter(QByteArrayView line, qsizetype pos, QByteArrayView marker) {
    if (pos >= line.size() || !isSpace(line[pos]))
        return std::nullopt;
    while (pos < line.size() && isSpace(line[pos]))
        ++pos;
    if (!line.sliced(pos).startsWith(marker))
        return std::nullopt;
    return trimmed(line.sliced(pos + marker.size()));
}

// "00-22-72   (hex)   Name": the six digits and the name.
bool parseHexLine(QByteArrayView line, QByteArray& digits, QByteArrayView& name) {
    qsizetype pos = 0;
    digits.clear();
    for (int group = 0; group < 3; ++group) {
        if (!takeHex(line, pos, 2, digits))
            return false;
        if (group < 2) {
            if (pos >= line.size() || line[pos] != '-')
                return false;
            ++pos;
        }
    }
    const auto rest = nameAfter(line, pos, "(hex)");
    if (!rest)
        return false;
    name = *rest;
    return true;
}

// "002272   (base 16)   Name" or "B00000-BFFFFF   (base 16)   Name".
bool parseBase16Line(QByteArrayView line, QByteArray& first, QByteArray& last,
                     QByteArrayView& name) {
    qsizetype pos = 0;
    first.clear();
    last.clear();
    if (!takeHex(line, pos, 6, first))
        return false;
    if (pos < line.size() && line[pos] == '-') {
        ++pos;
        if (!takeHex(line, pos, 6, last))
            return false;
    }
    const auto rest = nameAfter(line, pos, "(base 16)");
    if (!rest)
        return false;
    name = *rest;
    return true;
}

QString dashed(const QByteArray& digits) {
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            out.append(QLatin1Char('-'));
        out.append(QLatin1Char(digits[i]));
    }
    return out;
}

// The code of an entry, or an empty string with `why` set.
QString codeOf(const QByteArray& prefix, const QByteArray& first, const QByteArray& last,
               int bits, QString& why) {
    if (last.isEmpty()) {
        if (first != prefix) {
            why = QStringLiteral("the (base 16) line gives %1, not the %2 of the (hex) line")
                      .arg(QString::fromLatin1(first), QString::fromLatin1(prefix));
            return {};
        }
        if (bits != 24) {
            why = QStringLiteral("a single assignment where this registry lists ranges");
            return {};
        }
        return dashed(prefix);
    }
    const int fixedDigits = (bits - 24) / 4;
    const QByteArray zeros(6 - fixedDigits, '0');
    const QByteArray effs(6 - fixedDigits, 'F');
    if (bits == 24 || first.left(fixedDigits) != last.left(fixedDigits) ||
        first.mid(fixedDigits) != zeros || last.mid(fixedDigits) != effs) {
        why = QStringLiteral("the range %1-%2 is not a %3-bit assignment")
                  .arg(QString::fromLatin1(first), QString::fromLatin1(last))
                  .arg(bits);
        return {};
    }
    return dashed(prefix + first.left(fixedDigits));
}

// Valid UTF-8 without control characters (tabs aside), which no field holds.
bool validText(QByteArrayView bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F)
            return false;
    }
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString ignored = decoder(bytes);
            return !decoder.hasError();
        }
    }
    return true;
}

class Parser {
public:
    // `header`: the file starts with the block of column titles, which ends
    // at the first blank line.
    Parser(const RegistryFile& registry, const QString& fileName, bool header,
           ListingResult& result)
        : registry_(registry), fileName_(fileName), result_(result), inHeader_(header) {}

    void line(QByteArrayView text, int number) {
        if (text.endsWith('\r'))
            text.chop(1);
        const bool blank = trimmed(text).isEmpty();
        QByteArrayView name;
        const bool hexLine = !blank && !isSpace(text.front()) && parseHexLine(text, digits_, name);
        if (inHeader_) {
            if (blank || !hexLine) {
                inHeader_ = !blank;
                return;
            }
            inHeader_ = false;
        }
        if (skipping_) {
            if (blank || hexLine) {
                skipping_ = false;
            } else {
                ++result_.skippedLines;
                ++result_.problems.back().skippedLines;
            }
            if (!hexLine)
                return;
        }
        if (blank) {
            // A line of blanks inside an entry is an empty address line when
            // more address lines follow; an empty line ends the entry.
            if (state_ == State::Address && !text.isEmpty())
                ++pendingEmptyLines_;
            else
                finish();
            return;
        }
        if (hexLine) {
            finish();
            if (!validText(text))
                return fail(number, QStringLiteral("the line is not valid UTF-8 text or holds control characters"), 1);
            state_ = State::AfterHex;
            pendingEmptyLines_ = 0;
            entryLine_ = number;
            entry_ = ListingEntry{};
            entry_.registry = registry_.registry;
            entry_.line = number;
            entry_.vendor = QString::fromUtf8(name);
            prefix_ = digits_;
            lines_ = 1;
            return;
        }
        switch (state_) {
        case State::Between:
            return fail(number, QStringLiteral("expected an entry starting with a (hex) line"), 1);
        case State::AfterHex: {
            QByteArray first, last;
            QByteArrayView base16Name;
            if (!parseBase16Line(text, first, last, base16Name))
                return fail(number, QStringLiteral("expected the (base 16) line of the entry"),
                            lines_ + 1);
            QString why;
            entry_.code = codeOf(prefix_, first, last, registry_.codeBits, why);
            if (entry_.code.isEmpty())
                return fail(number, why, lines_ + 1);
            if (entry_.vendor.isEmpty() && validText(base16Name))
                entry_.vendor = QString::fromUtf8(base16Name);
            ++lines_;
            state_ = State::Address;
            return;
        }
        case State::Address:
            if (!isSpace(text.front()))
                return fail(number, QStringLiteral("expected an address line or a blank line"),
                            lines_ + 1);
            if (!validText(text))
                return fail(number, QStringLiteral("the line is not valid UTF-8 text or holds control characters"), lines_ + 1);
            for (; pendingEmptyLines_ > 0; --pendingEmptyLines_) {
                entry_.addressLines.append(QString());
                ++lines_;
            }
            entry_.addressLines.append(QString::fromUtf8(trimmed(text)));
            ++lines_;
            return;
        }
    }

    void end() {
        if (state_ == State::AfterHex) {
            fail(entryLine_, QStringLiteral("the file ends before the entry's (base 16) line"),
                 lines_);
            skipping_ = false;
            return;
        }
        finish();
    }

private:
    enum class State { Between, AfterHex, Address };

    // Reports a problem at `number`, dropping the entry (its `dropped` lines
    // read so far, the bad line included) and the rest of it up to a blank line.
    void fail(int number, const QString& reason, int dropped) {
        result_.problems.push_back({fileName_, number, reason, dropped});
        result_.skippedLines += dropped;
        state_ = State::Between;
        skipping_ = true;
    }

    void finish() {
        if (state_ == State::AfterHex) {
            fail(entryLine_, QStringLiteral("the entry has no (base 16) line"), lines_);
            skipping_ = false;
            return;
        }
        if (state_ != State::Address)
            return;
        state_ = State::Between;
        pendingEmptyLines_ = 0;
        if (entry_.vendor.isEmpty())
            return drop(QStringLiteral("the entry has no organization name"));
        if (entry_.vendor.size() > ListingFieldMaxChars)
            return drop(QStringLiteral("the organization name has %1 characters, more than %2")
                            .arg(entry_.vendor.size())
                            .arg(ListingFieldMaxChars));
        for (qsizetype i = 0; i < entry_.addressLines.size(); ++i) {
            if (entry_.addressLines[i].size() > ListingFieldMaxChars)
                return drop(QStringLiteral("address line %1 has %2 characters, more than %3")
                                .arg(i + 1)
                                .arg(entry_.addressLines[i].size())
                                .arg(ListingFieldMaxChars));
        }
        ++result_.perRegistry[static_cast<std::size_t>(registry_.registry)];
        result_.entries.push_back(std::move(entry_));
    }

    void drop(const QString& reason) {
        result_.problems.push_back({fileName_, entryLine_, reason, lines_});
        result_.skippedLines += lines_;
    }

    const RegistryFile& registry_;
    QString fileName_;
    ListingResult& result_;
    bool inHeader_;
    bool skipping_ = false;
    State state_ = State::Between;
    ListingEntry entry_;
    QByteArray prefix_;
    QByteArray digits_;
    int entryLine_ = 0;
    int lines_ = 0;
    int pendingEmptyLines_ = 0;
};

} // namespace

void parseRegistryText(const QByteArray& text, const RegistryFile& registry,
                       const QString& fileName, ListingResult& result) {
    // A UTF-8 byte-order mark at the start is no part of the first line.
    QByteArrayView rest(text);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    // The column titles at the top start with "OUI" ("OUI/MA-L ...", "OUI ...").
    Parser parser(registry, fileName, rest.startsWith("OUI"), result);
    int number = 0;
    while (!rest.isEmpty()) {
        const qsizetype newline = rest.indexOf('\n');
        const QByteArrayView line = newline < 0 ? rest : rest.first(newline);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + 1);
        parser.line(line, ++number);
    }
    parser.end();
}

ListingResult readListing(const QString& folder) {
    ListingResult result;
    const QDir dir(folder);
    for (const RegistryFile& registry : RegistryFiles) {
        const QString name = QString::fromLatin1(registry.fileName);
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.problems.push_back(
                {path, 0,
                 QStringLiteral("cannot be read (%1); no %2 entries")
                     .arg(file.errorString(), QString::fromLatin1(registry.label)),
                 0});
            continue;
        }
        ++result.filesRead;
        parseRegistryText(file.readAll(), registry, path, result);
    }
    return result;
}

} // namespace zorvane::tools
