#include "listing/IeeeListing.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <optional>

namespace zorvane::listing {

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

// The text of `bytes` as UTF-8; bytes that are no UTF-8 text and control
// characters (tabs aside), which no field holds, become U+FFFD, and
// `repaired` says whether any did.
QString decodeText(QByteArrayView bytes, bool& repaired) {
    repaired = false;
    bool plain = true;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || (u < 0x20 && c != '\t') || u == 0x7F) {
            plain = false;
            break;
        }
    }
    if (plain)
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    repaired = decoder.hasError();
    for (QChar& c : text) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7F) {
            c = QChar::ReplacementCharacter;
            repaired = true;
        }
    }
    return text;
}

// Why `text` cannot be a registry file at all, or an empty string.
QString notAListing(QByteArrayView text) {
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF"))
        return QStringLiteral("the file is UTF-16 text, not the UTF-8 text of the IEEE listing");
    const QByteArrayView head = text.first(std::min<qsizetype>(text.size(), 4096));
    if (head.count('\0') * 8 > head.size())
        return QStringLiteral("the file holds NUL bytes (UTF-16 text or binary data), not the UTF-8 text of the "
                              "IEEE listing");
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    while (!text.isEmpty() && (isSpace(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text = text.sliced(1);
    if (text.isEmpty())
        return QStringLiteral("the file is empty");
    if (text.front() == '<')
        return QStringLiteral("the file is an HTML page, not the IEEE listing");
    return {};
}

// Where the line starting `rest` ends (`end`) and the next starts (`next`):
// LF, CR LF, CR alone, and CR CR LF (CR LF text whose ends gained a CR) each
// end one line.
void lineBounds(QByteArrayView rest, qsizetype& end, qsizetype& next) {
    const char* data = rest.data();
    const qsizetype size = rest.size();
    end = 0;
    while (end < size && data[end] != '\n' && data[end] != '\r')
        ++end;
    next = end;
    if (next >= size)
        return;
    if (data[next] == '\n')
        next += 1;
    else if (next + 1 < size && data[next + 1] == '\n')
        next += 2;
    else if (next + 2 < size && data[next + 1] == '\r' && data[next + 2] == '\n')
        next += 3;
    else
        next += 1;
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
            state_ = State::AfterHex;
            pendingEmptyLines_ = 0;
            entryLine_ = number;
            entry_ = ListingEntry{};
            entry_.registry = registry_.registry;
            entry_.line = number;
            repairs_.clear();
            bool repaired = false;
            entry_.vendor = decodeText(name, repaired);
            if (repaired)
                repairs_.push_back(badText(QStringLiteral("the organization name")));
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
            if (entry_.vendor.isEmpty()) {
                bool repaired = false;
                entry_.vendor = decodeText(base16Name, repaired);
                if (repaired)
                    repairs_.push_back(badText(QStringLiteral("the organization name")));
            }
            ++lines_;
            state_ = State::Address;
            return;
        }
        case State::Address:
            if (!isSpace(text.front()))
                return fail(number, QStringLiteral("expected an address line or a blank line"),
                            lines_ + 1);
            for (; pendingEmptyLines_ > 0; --pendingEmptyLines_) {
                entry_.addressLines.append(QString());
                ++lines_;
            }
            bool repaired = false;
            entry_.addressLines.append(decodeText(trimmed(text), repaired));
            if (repaired)
                repairs_.push_back(
                    badText(QStringLiteral("address line %1 (line %2)").arg(entry_.addressLines.size()).arg(number)));
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
        // Text too long for its field is cut to it; Address, a memo, keeps
        // whole lines (vendorRecordOf cuts Address1 to address5).
        if (entry_.vendor.size() > ListingFieldMaxChars) {
            repairs_.push_back(QStringLiteral("the organization name has %1 characters, more than the %2 field "
                                              "Vendor takes: kept its first %2")
                                   .arg(entry_.vendor.size())
                                   .arg(ListingFieldMaxChars));
            entry_.vendor = cutToField(entry_.vendor);
        }
        for (qsizetype i = 0; i < std::min<qsizetype>(entry_.addressLines.size(), 5); ++i) {
            if (entry_.addressLines[i].size() > ListingFieldMaxChars)
                repairs_.push_back(QStringLiteral("address line %1 has %2 characters, more than the %3 field "
                                                  "Address%1 takes: Address keeps it whole, Address%1 its first %3")
                                       .arg(i + 1)
                                       .arg(entry_.addressLines[i].size())
                                       .arg(ListingFieldMaxChars));
        }
        for (const QString& repair : repairs_)
            result_.problems.push_back({fileName_, entryLine_, entry_.code + QStringLiteral(": ") + repair, 0, true});
        repairs_.clear();
        ++result_.perRegistry[static_cast<std::size_t>(registry_.registry)];
        result_.entries.push_back(std::move(entry_));
    }

    void drop(const QString& reason) {
        result_.problems.push_back({fileName_, entryLine_, reason, lines_});
        result_.skippedLines += lines_;
    }

    static QString badText(const QString& what) {
        return what + QStringLiteral(" holds bytes that are no UTF-8 text or control characters: each replaced "
                                     "by U+FFFD");
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
    std::vector<QString> repairs_;  // of the entry being read, reported when it is kept
};

} // namespace

QString cutToField(const QString& text) {
    if (text.size() <= ListingFieldMaxChars)
        return text;
    // Never half of a surrogate pair.
    const qsizetype keep = text[ListingFieldMaxChars - 1].isHighSurrogate() ? ListingFieldMaxChars - 1
                                                                             : ListingFieldMaxChars;
    return text.left(keep);
}

void parseRegistryText(const QByteArray& text, const RegistryFile& registry,
                       const QString& fileName, ListingResult& result) {
    // A UTF-8 byte-order mark at the start is no part of the first line.
    QByteArrayView rest(text);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    if (const QString why = notAListing(rest); !why.isEmpty()) {
        if (result.refused.isEmpty())
            result.refused = fileName + QStringLiteral(": ") + why;
        return;
    }
    const std::size_t index = static_cast<std::size_t>(registry.registry);
    const int before = result.perRegistry[index];
    // The column titles at the top start with "OUI" ("OUI/MA-L ...", "OUI
    // ..."), those of the CID registry with "CID".
    Parser parser(registry, fileName, rest.startsWith("OUI") || rest.startsWith("CID"), result);
    int number = 0;
    while (!rest.isEmpty()) {
        qsizetype end = 0, next = 0;
        lineBounds(rest, end, next);
        parser.line(rest.first(end), ++number);
        rest = rest.sliced(next);
    }
    parser.end();
    if (result.perRegistry[index] == before && result.refused.isEmpty())
        result.refused = fileName + QStringLiteral(": the file holds no %1 entries of the IEEE listing")
                                        .arg(QString::fromLatin1(registry.label));
}

ListingResult readListing(const QString& folder) { return readListing(folder, {}); }

ListingResult readListing(const QString& folder, const std::array<const ListingResult*, 4>& known) {
    ListingResult result;
    const QDir dir(folder);
    for (std::size_t i = 0; i < RegistryFiles.size(); ++i) {
        const RegistryFile& registry = RegistryFiles[i];
        if (const ListingResult* read = known[i]) {
            result.entries.insert(result.entries.end(), read->entries.begin(), read->entries.end());
            result.problems.insert(result.problems.end(), read->problems.begin(), read->problems.end());
            result.perRegistry[i] += read->perRegistry[i];
            result.skippedLines += read->skippedLines;
            result.filesRead += read->filesRead;
            if (!read->refused.isEmpty()) {
                result.refused = read->refused;
                return result;
            }
            continue;
        }
        const QString name = QString::fromLatin1(registry.fileName);
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.refused = path + QStringLiteral(": the %1 registry file cannot be read (%2)")
                                        .arg(QString::fromLatin1(registry.label), file.errorString());
            return result;
        }
        ++result.filesRead;
        parseRegistryText(file.readAll(), registry, path, result);
        if (!result.refused.isEmpty())
            return result;
    }
    return result;
}

std::optional<ListingResult> readCidListing(const QString& folder) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(CidRegistryFile.fileName));
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    ListingResult result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.refused = path + QStringLiteral(": the CID registry file cannot be read (%1)").arg(file.errorString());
        return result;
    }
    ++result.filesRead;
    parseRegistryText(file.readAll(), CidRegistryFile, path, result);
    return result;
}

records::VendorRecord vendorRecordOf(const ListingEntry& entry) {
    records::VendorRecord record;
    record.fields[0] = entry.code;
    record.fields[1] = entry.vendor;
    record.fields[2] = entry.addressLines.join(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < 5; ++i)
        record.fields[static_cast<std::size_t>(3 + i)] =
            i < entry.addressLines.size() ? cutToField(entry.addressLines[i]) : QString(QLatin1String(""));
    return record;
}

ListingFloors replacingFloors(const std::array<int, 4>& entries) {
    ListingFloors floors;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        floors.least[i] = std::max(1, static_cast<int>((static_cast<long long>(entries[i]) * ReplacingEntryPercent + 99) / 100));
        floors.replaced[i] = entries[i];
    }
    return floors;
}

ListingFloors fixedFloors(int least) {
    ListingFloors floors;
    floors.least.fill(std::max(1, least));
    return floors;
}

QString floorRefusal(const ListingResult& result, const QString& folder, const ListingFloors& floors) {
    const QLocale english(QLocale::English);
    for (std::size_t i = 0; i < RegistryFiles.size(); ++i) {
        const int entries = result.perRegistry[i];
        if (entries >= floors.least[i])
            continue;
        const QString file = QDir(folder).filePath(QString::fromLatin1(RegistryFiles[i].fileName));
        const QString label = QString::fromLatin1(RegistryFiles[i].label);
        if (floors.replaced[i] >= 0)
            return QStringLiteral("%1: holds %2 %3 entries, the listing it would replace %4 (at least %5% are "
                                  "needed)")
                .arg(file, english.toString(entries), label, english.toString(floors.replaced[i]))
                .arg(ReplacingEntryPercent);
        return QStringLiteral("%1: holds %2 %3 entries, fewer than the %4 a complete listing holds")
            .arg(file, english.toString(entries), label, english.toString(floors.least[i]));
    }
    return {};
}

int registryOfCode(QStringView code) {
    switch (code.size()) {
    case 8:
        return static_cast<int>(Registry::MaL);
    case 10:
        return static_cast<int>(Registry::MaM);
    case 13:
        return code.startsWith(u"00-50-C2") || code.startsWith(u"40-D8-55") ? static_cast<int>(Registry::Iab)
                                                                             : static_cast<int>(Registry::MaS);
    default:
        return -1;
    }
}

} // namespace zorvane::listing
