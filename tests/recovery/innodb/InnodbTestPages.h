#pragma once

// Hand-made InnoDB B-tree pages for the page and dictionary tests.

#include "recovery/innodb/InnodbPage.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace innodbtest {

using recovery::innodb::kFilNull;
using recovery::innodb::kPageSize;
using recovery::innodb::kPageTypeIndex;
using recovery::innodb::RecordFormat;

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& p, std::size_t pos, std::uint16_t v)
{
    p[pos] = static_cast<std::uint8_t>(v >> 8);
    p[pos + 1] = static_cast<std::uint8_t>(v);
}

inline void put32(Bytes& p, std::size_t pos, std::uint32_t v)
{
    put16(p, pos, static_cast<std::uint16_t>(v >> 16));
    put16(p, pos + 2, static_cast<std::uint16_t>(v));
}

struct TestRecord {
    std::vector<Bytes> fields;
    bool deleted = false;
    bool shortEnds = true;
    std::vector<std::uint16_t> endFlags;  // OR-ed into the end offsets (2-byte form)
};

// A B-tree page made by hand the way the server lays it out: header,
// infimum, supremum, then the records in heap order, linked in list order.
struct PageBuilder {
    RecordFormat format = RecordFormat::Redundant;
    std::vector<TestRecord> records;
    std::vector<std::size_t> listOrder;  // heap indexes in list order; empty: heap order
    std::uint16_t level = 0;
    std::uint32_t pageNo = 5;
    std::uint64_t indexId = 0;
    std::vector<std::uint16_t> origins;  // filled by build()

    Bytes build()
    {
        Bytes p(kPageSize, 0);
        const bool compact = format == RecordFormat::Compact;
        put32(p, 4, pageNo);
        put32(p, 8, kFilNull);
        put32(p, 12, kFilNull);
        put16(p, 24, kPageTypeIndex);
        put16(p, 42, static_cast<std::uint16_t>((compact ? 0x8000 : 0) | (2 + records.size())));
        put16(p, 54, static_cast<std::uint16_t>(records.size()));
        put16(p, 64, level);
        put32(p, 66, static_cast<std::uint32_t>(indexId >> 32));
        put32(p, 70, static_cast<std::uint32_t>(indexId));
        const std::uint16_t infimum = compact ? 99 : 101;
        const std::uint16_t supremum = compact ? 112 : 116;
        if (compact) {
            p[94] = 0x01;
            put16(p, 95, 0x0002);
            std::memcpy(&p[99], "infimum", 8);
            p[107] = 0x01;
            put16(p, 108, (1 << 3) | 3);
            std::memcpy(&p[112], "supremum", 8);
        } else {
            // One field each, 1-byte end offsets; heap numbers 0 and 1.
            p[94] = 8;
            p[95] = 0x01;
            p[98] = 0x03;
            std::memcpy(&p[101], "infimum", 8);
            p[109] = 9;
            p[110] = 0x01;
            p[112] = 0x08;
            p[113] = 0x03;
            std::memcpy(&p[116], "supremum", 9);
        }
        std::size_t pos = compact ? 120 : 125;
        origins.clear();
        for (std::size_t k = 0; k < records.size(); ++k)
            pos = placeRecord(p, pos, records[k], static_cast<std::uint16_t>(k + 2));
        put16(p, 40, static_cast<std::uint16_t>(pos));

        std::vector<std::size_t> order = listOrder;
        if (order.empty())
            for (std::size_t k = 0; k < records.size(); ++k)
                order.push_back(k);
        std::uint16_t from = infimum;
        for (std::size_t k : order) {
            link(p, from, origins[k]);
            from = origins[k];
        }
        link(p, from, supremum);
        return p;
    }

    void link(Bytes& p, std::uint16_t from, std::uint16_t to) const
    {
        const bool compact = format == RecordFormat::Compact;
        put16(p, from - 2u, compact ? static_cast<std::uint16_t>(to - from) : to);
    }

    std::size_t placeRecord(Bytes& p, std::size_t pos, const TestRecord& r, std::uint16_t heapNo)
    {
        if (format == RecordFormat::Compact) {
            const std::size_t origin = pos + 5;
            p[origin - 5] = r.deleted ? 0x20 : 0x00;
            put16(p, origin - 4, static_cast<std::uint16_t>(heapNo << 3));
            std::size_t at = origin;
            for (const Bytes& f : r.fields)
                for (std::uint8_t b : f)
                    p[at++] = b;
            origins.push_back(static_cast<std::uint16_t>(origin));
            return at;
        }
        const std::size_t n = r.fields.size();
        const std::size_t origin = pos + n * (r.shortEnds ? 1 : 2) + 6;
        p[origin - 6] = r.deleted ? 0x20 : 0x00;
        put16(p, origin - 5, static_cast<std::uint16_t>(heapNo << 3));
        p[origin - 4] |= static_cast<std::uint8_t>((n << 1) >> 8);
        p[origin - 3] = static_cast<std::uint8_t>(((n << 1) & 0xFF) | (r.shortEnds ? 1 : 0));
        std::size_t end = 0;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::uint8_t b : r.fields[i])
                p[origin + end++] = b;
            const std::uint16_t flags = i < r.endFlags.size() ? r.endFlags[i] : 0;
            if (r.shortEnds)
                p[origin - 7 - i] = static_cast<std::uint8_t>(end | flags);
            else
                put16(p, origin - 8 - 2 * i, static_cast<std::uint16_t>(end | flags));
        }
        origins.push_back(static_cast<std::uint16_t>(origin));
        return origin + end;
    }
};

inline TestRecord rec(std::vector<Bytes> fields, bool deleted = false)
{
    TestRecord r;
    r.fields = std::move(fields);
    r.deleted = deleted;
    return r;
}

} // namespace innodbtest
