#include "records/jet/TableWriter.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/IndexKey.h"
#include "records/jet/IndexWriter.h"
#include "records/jet/LongValue.h"
#include "records/jet/Row.h"
#include "records/jet/ValueText.h"
#include "records/jet/PageSet.h"
#include "records/jet/WriterLayout.h"
#include "records/jet/WriterPages.h"
#include "records/jet/WriterText.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

namespace zorvane::jet {

using namespace format;
using Slot = PageSet::Slot;
using datapage::LongValueOwnerWord;
using writer::RowBuild;

namespace {

bool isLong(const Column& c) { return c.type == TypeMemo || c.type == TypeOle; }

std::string fieldLabel(const Column& c) { return "field \"" + c.name + "\""; }

[[noreturn]] void refuse(PageFile& file, const TableDef& def, const std::string& reason) {
    file.fail(def.label() + " cannot be changed: " + reason);
}

// The shape of a row of the table as it is defined now.
struct RowShape {
    std::uint16_t columnCount = 0;
    std::size_t fixedArea = 0;
    std::size_t varCount = 0;
};

RowShape shapeOf(const TableDef& def) {
    RowShape shape;
    std::size_t count = def.maxColumns;
    for (const Column& c : def.columns) {
        count = std::max<std::size_t>(count, c.number + 1u);
        if (c.fixed())
            shape.fixedArea = std::max(shape.fixedArea, c.fixedOffset + fixedValueSize(c));
        else
            shape.varCount = std::max<std::size_t>(shape.varCount, c.varIndex + 1u);
    }
    shape.columnCount = static_cast<std::uint16_t>(std::min<std::size_t>(count, 0xFFFF));
    return shape;
}

} // namespace

struct TableWriter::Impl {
    PageFile& file;
    TableDef def;
    std::string what;
    RowShape shape;
    PageSet pages;
    std::int64_t rowDelta = 0;
    std::set<std::uint32_t> touchedData;
    std::map<std::uint16_t, std::set<std::uint32_t>> touchedLong;  // by column number
    bool finished = false;
    // The indexes, and how their counters change.
    std::vector<std::unique_ptr<IndexWriter>> indexes;
    std::vector<std::int64_t> entryDelta, keyDelta;
    std::uint32_t autoNumber = 0;
    bool autoNumberChanged = false;
    // AnyRoom: the table's pages that may have room for a row, lowest first
    // (those its free-space map lists, and those the command freed room on).
    Placement placement = Placement::AtEnd;
    std::set<std::uint32_t> roomy;

    Impl(PageFile& f, const TableDef& d)
        : file(f), def(d), what(d.label()), shape(shapeOf(d)),
          pages(f, what), entryDelta(d.realIndexDefs.size()), keyDelta(d.realIndexDefs.size()) {
        for (std::size_t i = 0; i < def.realIndexDefs.size(); ++i)
            indexes.push_back(std::make_unique<IndexWriter>(pages, def, i));
        autoNumber = le32(file.page(def.page, what.c_str()) + TdefAutoNumberOffset);
    }

    // ---- indexes

    // Per index the key of `row` (without long values out of the row), or
    // nothing when the index keeps no entry for it. Refuses a key that
    // cannot be made and, with `checkNulls`, a null the index does not allow.
    std::vector<std::optional<Bytes>> keysOf(const Bytes& row, bool checkNulls) {
        std::vector<std::optional<Bytes>> keys;
        for (std::size_t i = 0; i < def.realIndexDefs.size(); ++i) {
            const RealIndexDef& real = def.realIndexDefs[i];
            Bytes key;
            int firstNull = -1;
            bool allNull = false;
            if (const std::string reason = rowIndexKey(file, def, real, row, key, firstNull, allNull); !reason.empty())
                refuse(def.indexLabel(i) + " cannot hold the record's key, which is " + reason);
            if (checkNulls && firstNull >= 0 && (real.flags & IndexFlagNullsRefused))
                refuse(def.indexLabel(i) + " requires a value in " +
                       fieldLabel(def.columns[static_cast<std::size_t>(firstNull)]) + ", and the record has none");
            if (allNull && (real.flags & IndexFlagNullsIgnored))
                keys.emplace_back();
            else
                keys.emplace_back(std::move(key));
            if (firstNull >= 0)
                uniqueFree.insert(i);
            else
                uniqueFree.erase(i);
        }
        return keys;
    }
    std::set<std::size_t> uniqueFree;  // of the last keysOf: indexes whose key holds a null

    // Gives AutoNumber fields without a value the next number; a number
    // given explicitly moves the counter on when it is higher.
    void numberAutomatically(std::vector<FieldChange>& values) {
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            if (!(def.columns[i].flags & ColumnFlagAutoLong))
                continue;
            const FieldChange* given = findChange(values, i);
            if (given && given->value) {
                Bytes bytes;
                if (appendFixedValueBytes(TypeLong, *given->value, bytes) && bytes.size() == 4) {
                    const auto v = static_cast<std::int32_t>(le32(bytes.data()));
                    if (v > 0 && static_cast<std::uint32_t>(v) > autoNumber) {
                        autoNumber = static_cast<std::uint32_t>(v);
                        autoNumberChanged = true;
                    }
                }
                continue;
            }
            if (autoNumber >= 0x7FFFFFFFu)
                refuse(fieldLabel(def.columns[i]) + " has issued every number it can");
            ++autoNumber;
            autoNumberChanged = true;
            const std::string text = std::to_string(autoNumber);
            values.push_back({i, std::u16string(text.begin(), text.end())});
        }
    }

    static std::uint32_t home(const RowPlace& place) {
        return makePointer(place.homePage, static_cast<std::uint8_t>(place.homeSlot));
    }

    // Refuses a key a unique index already holds (a key with a null in it
    // is never a duplicate).
    void checkUnique(std::size_t i, const std::optional<Bytes>& key) {
        if (!key || !(def.realIndexDefs[i].flags & IndexFlagUniqueKeys) || uniqueFree.count(i))
            return;
        if (indexes[i]->contains(*key))
            file.fail("The record would give " + def.indexLabel(i) + " of " + what +
                      " two records with the same key, which the index does not allow");
    }

    void addEntry(std::size_t i, const Bytes& key, std::uint32_t home) {
        ++entryDelta[i];
        if (!indexes[i]->insert(key, home))
            ++keyDelta[i];
    }
    void removeEntry(std::size_t i, const Bytes& key, std::uint32_t home) {
        --entryDelta[i];
        if (!indexes[i]->remove(key, home))
            --keyDelta[i];
    }

    [[noreturn]] void refuse(const std::string& reason) const { jet::refuse(file, def, reason); }

    // ---- long values

    Bytes storeLongValue(const Column& column, const Bytes& data) {
        const LongValueMaps* maps = def.longValueMapsOf(column.number);
        if (!maps || maps->used == 0)
            refuse(fieldLabel(column) + " has no page map for long values, so its value cannot "
                   "be kept outside the row");
        if (data.size() > LongValueLengthMask)
            refuse("the value of " + fieldLabel(column) + " is too long");
        std::set<std::uint32_t>& touched = touchedLong[column.number];
        std::uint32_t roomy = 0;
        if (maps->free != 0 && data.size() + 2 <= PageSize - datapage::HeaderSize)
            for (const std::uint32_t p : pages.map(maps->free).pages())
                if (const SlottedPage* page = pages.readIfData(p);
                    !roomy && page && page->owner() == LongValueOwnerWord && page->fitsNewRow(data.size()))
                    roomy = p;
        return jet::storeLongValue(
            data, roomy,
            [&](bool) {
                const std::uint32_t n = pages.newDataPage(LongValueOwnerWord);
                pages.setMapBit(maps->used, n, true);
                return n;
            },
            [&](std::uint32_t n) -> SlottedPage& {
                touched.insert(n);
                return pages.change(n);
            });
    }

    void eraseLongRow(const Column& column, std::uint32_t pointer) {
        const SlottedPage* page = pages.readIfData(pointerPage(pointer));
        if (!page || page->owner() != LongValueOwnerWord)
            pages.damaged("a value of " + fieldLabel(column) + " points to page " +
                          std::to_string(pointerPage(pointer)) + ", which holds no long values");
        pages.changeRow(pointer);  // checks the row exists
        pages.change(pointerPage(pointer)).erase(pointerRow(pointer));
        touchedLong[column.number].insert(pointerPage(pointer));
    }

    // Deletes the long-value rows a stored reference leads to.
    void freeLongValue(const Column& column, const Bytes& reference) {
        if (reference.size() < LongValueHeaderSize)
            return;
        const std::uint32_t head = le32(reference.data());
        if (head & LongValueInline)
            return;
        const std::uint32_t pointer = le32(reference.data() + LongValuePointerOffset);
        if (head & LongValueSinglePage) {
            eraseLongRow(column, pointer);
            return;
        }
        std::unordered_set<std::uint32_t> visited;
        std::uint32_t next = pointer;
        while (next != 0 && visited.insert(next).second) {
            const Slot& part = pages.row(next);
            const std::uint32_t following = part.data.size() >= 4 ? le32(part.data.data()) : 0;
            eraseLongRow(column, next);
            next = following;
        }
    }

    // ---- rows

    // The change of `column`, if any; the last one given counts.
    static const FieldChange* findChange(const std::vector<FieldChange>& changes, std::size_t column) {
        const auto found =
            std::find_if(changes.rbegin(), changes.rend(), [&](const FieldChange& c) { return c.column == column; });
        return found == changes.rend() ? nullptr : &*found;
    }

    // The row with `changes` applied to `old` (or to an empty row).
    RowBuild build(const Bytes* old, const std::vector<FieldChange>& changes,
                   std::vector<std::pair<std::size_t, Bytes>>* replacedLongs) {
        for (const FieldChange& c : changes) {
            if (c.column >= def.columns.size())
                refuse("a field number is out of range");
            TableWriter::checkValue(file, def, c.column, c.value);
        }
        RowBuild b;
        writer::RowImage& image = b.image;
        image.columnCount = shape.columnCount;
        image.fixedArea.assign(shape.fixedArea, 0);
        image.varValues.assign(shape.varCount, {});
        image.present.assign(shape.columnCount, false);
        const RowSpan span{old ? old->data() : nullptr, old ? old->size() : 0, 0};
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            const FieldChange* change = findChange(changes, i);
            const Column& c = def.columns[i];
            ColumnBytes stored;
            if (old)
                stored = locateColumn(file, def, c, span, what);
            if (change) {
                if (old && isLong(c) && stored.hasValue && replacedLongs)
                    replacedLongs->push_back({i, Bytes(stored.data, stored.data + stored.length)});
                if (change->value && c.fixed()) {
                    Bytes value;
                    appendFixedValueBytes(c.type, *change->value, value);  // checked by checkValue
                    std::copy(value.begin(), value.end(),
                              image.fixedArea.begin() + static_cast<std::ptrdiff_t>(c.fixedOffset));
                    image.present[c.number] = true;
                } else if (change->value) {
                    b.setText(c, i, *change->value);
                }
                continue;
            }
            if (!stored.hasValue)
                continue;
            image.present[c.number] = true;
            if (c.type == TypeBoolean)
                continue;
            if (c.fixed()) {
                const std::size_t size = std::min(stored.length, fixedValueSize(c));
                std::copy(stored.data, stored.data + size,
                          image.fixedArea.begin() + static_cast<std::ptrdiff_t>(c.fixedOffset));
                continue;
            }
            Bytes value(stored.data, stored.data + stored.length);
            // A long value kept in the row may have to leave it now.
            if (isLong(c) && value.size() >= LongValueHeaderSize && (le32(value.data()) & LongValueInline)) {
                const std::size_t length =
                    std::min<std::size_t>(le32(value.data()) & LongValueLengthMask, value.size() - LongValueHeaderSize);
                const auto data = value.begin() + LongValueHeaderSize;
                b.longs.push_back({i, c.varIndex, Bytes(data, data + static_cast<std::ptrdiff_t>(length))});
            }
            image.varValues[c.varIndex] = std::move(value);
        }
        return b;
    }

    Bytes encode(RowBuild& b, const std::vector<bool>& out) {
        return b.encode(out, [&](const RowBuild::Long& l) {
            return storeLongValue(def.columns[l.column], l.data);
        });
    }

    // Encodes a row that goes to a page of its own choosing.
    Bytes encodeForAnyPage(RowBuild& b) {
        std::size_t size = 0;
        const std::vector<bool> out = b.longValuesOut(writer::MaxRowSize, size);
        if (size > writer::MaxRowSize)
            refuse("the record takes " + std::to_string(size) + " bytes, more than a data page holds");
        return encode(b, out);
    }

    // The table's last data page in usage-map order, if it has one.
    std::uint32_t lastDataPage() {
        const std::vector<std::uint32_t> used = pages.map(def.usedPages).pages();
        for (auto it = used.rbegin(); it != used.rend(); ++it) {
            const SlottedPage* page = pages.readIfData(*it);
            if (page && page->owner() == def.page)
                return *it;
        }
        return 0;
    }

    // Puts a row after every row of the table.
    RowPlace placeAtEnd(Bytes row, std::uint16_t flags) {
        std::uint32_t target = lastDataPage();
        if (target == 0 || !pages.read(target).fitsNewRow(row.size())) {
            target = pages.newDataPage(def.page, target);  // past the last, so the row comes last
            pages.setMapBit(def.usedPages, target, true);
        }
        const std::uint8_t slot = pages.change(target).append(flags, std::move(row));
        touchedData.insert(target);
        return {target, slot, target, slot};
    }

    // Puts a row where placement says (AnyRoom: after `after`, when given).
    RowPlace place(Bytes row, std::uint16_t flags, const RowPlace* after) {
        if (placement == Placement::AnyRoom) {
            for (auto it = roomy.lower_bound(after ? after->page : 0); it != roomy.end();) {
                const SlottedPage* page = pages.readIfData(*it);
                if (!page || page->owner() != def.page) {
                    it = roomy.erase(it);
                    continue;
                }
                if (!page->fitsNewRow(row.size())) {
                    // Kept for a smaller row, unless hardly any room is left.
                    it = page->rows.size() >= datapage::MaxRows || page->freeSpace() < writer::RoomWorthListing
                             ? roomy.erase(it)
                             : std::next(it);
                    continue;
                }
                // A slot a deleted row left is taken again: the row table
                // does not grow with every row that comes and goes.
                const std::uint32_t target = *it;
                const std::size_t from = after && after->page == target ? after->slot + 1u : 0;
                const std::uint8_t slot = pages.change(target).reuseOrAppend(flags, std::move(row), from);
                touchedData.insert(target);
                return {target, slot, target, slot};
            }
        }
        return placeAtEnd(std::move(row), flags);
    }

    // Notes that page `number` of the table gained room.
    void gainedRoom(std::uint32_t number) {
        if (placement == Placement::AnyRoom)
            roomy.insert(number);
    }

    // The bytes of the row at `place`, after checking that the table's pages
    // still hold it there.
    Bytes rowAtPlace(const RowPlace& place) {
        auto stale = [&] {
            file.fail(what + " has changed: its record is no longer where it was read (page " +
                      std::to_string(place.page) + ", row " + std::to_string(place.slot) + ")");
        };
        if (place.slot > 0xFF || place.homeSlot > 0xFF)
            stale();
        for (const std::uint32_t p : {place.page, place.homePage}) {
            const SlottedPage* page = pages.readIfData(p);
            if (!page || page->owner() != def.page)
                stale();
        }
        // A moved row's data is flagged so, and its home slot points to it.
        const std::uint32_t pointer = makePointer(place.page, static_cast<std::uint8_t>(place.slot));
        const Slot& data = pages.row(pointer);
        if (data.flags != (place.moved() ? RowDeletedFlag : 0))
            stale();
        if (place.moved()) {
            const Slot& home = pages.row(Impl::home(place));
            if (home.flags != RowOverflowFlag || home.data.size() < 4 || le32(home.data.data()) != pointer)
                stale();
        }
        return data.data;
    }
};

// ---------------------------------------------------------------------------

void TableWriter::requireWritable(PageFile& file, const TableDef& def) {
    if (def.realIndexDefs.size() != def.realIndexes || def.logicalIndexDefs.size() != def.logicalIndexes)
        refuse(file, def, "its index definitions could not all be read");
    for (const LogicalIndexDef& l : def.logicalIndexDefs)
        if (l.type == IndexKindForeign)
            refuse(file, def, "index \"" + toUtf8(l.name) + "\" belongs to a relationship, which this engine does not keep");
    for (std::size_t i = 0; i < def.realIndexDefs.size(); ++i) {
        const RealIndexDef& real = def.realIndexDefs[i];
        if (const std::string reason = indexkey::checkIndex(def, real); !reason.empty())
            refuse(file, def, def.indexLabel(i) + " cannot be kept up to date: its keys are " + reason);
        for (const std::uint16_t number : real.columns)
            if (const int c = def.columnOfNumber(number); c >= 0 && isLong(def.columns[static_cast<std::size_t>(c)]))
                refuse(file, def, def.indexLabel(i) + " covers a memo field, which this engine does not keep in an index");
    }
    for (const Column& c : def.columns)
        if ((c.flags & ColumnFlagAutoGuid) || ((c.flags & ColumnFlagAutoLong) && c.type != TypeLong))
            refuse(file, def, fieldLabel(c) + " is numbered automatically in a way this engine does not do");
}

void TableWriter::checkValue(PageFile& file, const TableDef& def, std::size_t column,
                             const std::optional<std::u16string>& value) {
    const Column& c = def.columns.at(column);
    const bool number = c.fixed() && fixedSizeOf(c.type) > 0;
    if (!factsOf(c.type).updated || (!number && c.type != TypeText && c.type != TypeMemo))
        refuse(file, def, fieldLabel(c) + " is not a text, memo or number field; only those can be written");
    if (!value)
        return;
    Bytes probe;
    if (number && !appendFixedValueBytes(c.type, *value, probe))
        refuse(file, def, "\"" + toUtf8(*value) + "\" is no value " + fieldLabel(c) + " can hold");
    if (c.type == TypeText && value->size() > c.length / 2u)
        refuse(file, def, fieldLabel(c) + " takes at most " + std::to_string(c.length / 2u) +
                              " characters; the text has " + std::to_string(value->size()));
    if (c.type == TypeMemo && value->size() > LongValueLengthMask / 2)
        refuse(file, def, "the text for " + fieldLabel(c) + " is too long");
}

TableWriter::TableWriter(PageFile& file, const TableDef& def) {
    requireWritable(file, def);
    if (!file.inCommand())
        file.fail(def.label() + " cannot be changed: no write command is open");
    d = std::make_unique<Impl>(file, def);
}

TableWriter::~TableWriter() = default;

void TableWriter::setPlacement(Placement placement) {
    if (placement == d->placement)
        return;
    d->placement = placement;
    d->roomy.clear();
    if (placement == Placement::AnyRoom && d->def.freePages != 0)
        for (const std::uint32_t p : d->pages.map(d->def.freePages).pages())
            d->roomy.insert(p);
}

RowPlace TableWriter::insert(const std::vector<FieldChange>& given, const RowPlace* after) {
    std::vector<FieldChange> values = given;
    d->numberAutomatically(values);
    RowBuild b = d->build(nullptr, values, nullptr);
    const std::vector<std::optional<Bytes>> keys = d->keysOf(writer::encodeRow(b.image), true);
    for (std::size_t i = 0; i < keys.size(); ++i)
        d->checkUnique(i, keys[i]);
    const RowPlace place = d->place(d->encodeForAnyPage(b), 0, after);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i])
            d->addEntry(i, *keys[i], Impl::home(place));
    ++d->rowDelta;
    return place;
}

RowPlace TableWriter::update(const RowPlace& place, const std::vector<FieldChange>& changes) {
    const Bytes old = d->rowAtPlace(place);
    for (const FieldChange& c : changes)
        if (c.column < d->def.columns.size() && (d->def.columns[c.column].flags & ColumnFlagAutoLong))
            d->refuse(fieldLabel(d->def.columns[c.column]) + " is numbered automatically and cannot be changed");
    const std::vector<std::optional<Bytes>> oldKeys = d->keysOf(old, false);
    std::vector<std::pair<std::size_t, Bytes>> replaced;
    RowBuild b = d->build(&old, changes, &replaced);
    const std::vector<std::optional<Bytes>> keys = d->keysOf(writer::encodeRow(b.image), true);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i] != oldKeys[i])
            d->checkUnique(i, keys[i]);

    // In its slot, if the page has room (memo values leaving the row if need be).
    const std::size_t room = d->pages.read(place.page).freeSpace() + old.size();
    const std::size_t limit = std::min(room, writer::MaxRowSize);
    std::size_t size = 0;
    const std::vector<bool> out = b.longValuesOut(limit, size);
    RowPlace now = place;
    if (size <= limit) {
        Bytes row = d->encode(b, out);
        d->pages.change(place.page).rows[place.slot].data = std::move(row);
        d->touchedData.insert(place.page);
    } else {
        // Moved to the end (AnyRoom: where there is room); the home slot points there.
        const RowPlace target = d->place(d->encodeForAnyPage(b), RowDeletedFlag, nullptr);
        if (place.moved()) {
            d->pages.change(place.page).erase(place.slot);
            d->touchedData.insert(place.page);
            d->gainedRoom(place.page);
        }
        Slot& home = d->pages.changeRow(Impl::home(place));
        home.flags = RowOverflowFlag;
        home.data.assign(4, 0);
        put32(home.data.data(), makePointer(target.page, static_cast<std::uint8_t>(target.slot)));
        d->touchedData.insert(place.homePage);
        now.page = target.page;
        now.slot = target.slot;
    }
    for (const auto& [column, reference] : replaced)
        d->freeLongValue(d->def.columns[column], reference);
    // The entries stay at the home slot; only a changed key moves them.
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == oldKeys[i])
            continue;
        if (oldKeys[i])
            d->removeEntry(i, *oldKeys[i], Impl::home(place));
        if (keys[i])
            d->addEntry(i, *keys[i], Impl::home(place));
    }
    return now;
}

void TableWriter::remove(const RowPlace& place) {
    const Bytes old = d->rowAtPlace(place);
    const std::vector<std::optional<Bytes>> keys = d->keysOf(old, false);
    const RowSpan span{old.data(), old.size(), 0};
    for (const Column& c : d->def.columns) {
        if (!isLong(c))
            continue;
        const ColumnBytes stored = locateColumn(d->file, d->def, c, span, d->what);
        if (stored.hasValue)
            d->freeLongValue(c, Bytes(stored.data, stored.data + stored.length));
    }
    d->pages.change(place.page).erase(place.slot);
    d->touchedData.insert(place.page);
    d->gainedRoom(place.page);
    if (place.moved()) {
        d->pages.change(place.homePage).erase(place.homeSlot);
        d->touchedData.insert(place.homePage);
        d->gainedRoom(place.homePage);
    }
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i])
            d->removeEntry(i, *keys[i], Impl::home(place));
    --d->rowDelta;
}

void TableWriter::finish() {
    if (d->finished)
        return;
    d->finished = true;
    auto listRoom = [&](std::uint32_t map, std::uint32_t page) {
        if (map == 0)
            return;  // the table keeps no such map
        const SlottedPage& p = d->pages.read(page);
        d->pages.setMapBit(map, page, p.rows.size() < datapage::MaxRows && p.freeSpace() >= writer::RoomWorthListing);
    };
    for (const std::uint32_t page : d->touchedData)
        listRoom(d->def.freePages, page);
    for (const auto& [column, touched] : d->touchedLong)
        if (const LongValueMaps* maps = d->def.longValueMapsOf(column))
            for (const std::uint32_t page : touched)
                listRoom(maps->free, page);
    for (std::size_t i = 0; i < d->indexes.size(); ++i) {
        d->indexes[i]->flush();
        if (d->entryDelta[i] == 0 && d->keyDelta[i] == 0)
            continue;
        // Access keeps the number of distinct keys, and the number of entries
        // where the first counter is not 0.
        std::uint8_t* counters =
            d->file.writablePage(d->def.page, d->what.c_str()) + TdefBlockEnd + i * TdefRealIndexEntrySize;
        if (const std::uint32_t entries = le32(counters); entries != 0)
            put32(counters, static_cast<std::uint32_t>(std::max<std::int64_t>(0, entries + d->entryDelta[i])));
        put32(counters + 4, static_cast<std::uint32_t>(std::max<std::int64_t>(0, le32(counters + 4) + d->keyDelta[i])));
    }
    if (d->autoNumberChanged)
        put32(d->file.writablePage(d->def.page, d->what.c_str()) + TdefAutoNumberOffset, d->autoNumber);
    if (d->rowDelta != 0) {
        std::uint8_t* tdef = d->file.writablePage(d->def.page, d->what.c_str());
        const std::int64_t count = static_cast<std::int64_t>(le32(tdef + TdefRowCountOffset)) + d->rowDelta;
        if (count < 0 || count > 0xFFFFFFFFll)
            d->pages.damaged("its record count is wrong");
        put32(tdef + TdefRowCountOffset, static_cast<std::uint32_t>(count));
    }
    d->pages.flush();
}

} // namespace zorvane::jet
