// A node of the message index tree (636 bytes, read whole).
#pragma once

#include "dbx/ByteOrder.h"
#include "dbx/IndexEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace mendora {

struct IndexNode {
    static constexpr std::size_t kSize = 0x27C;
    static constexpr std::size_t kEntriesAt = 0x18;
    static constexpr std::size_t kMaxEntries = 51; // 0x18 + 51 * 12 == 0x27C

    std::uint32_t selfOffset = 0;
    std::uint32_t firstChildOffset = 0;
    std::uint32_t parentOffset = 0;
    std::uint8_t entryCount = 0;
    std::uint32_t firstChildValueCount = 0;
    std::array<IndexEntry, kMaxEntries> entries{};

    static IndexNode Decode(std::span<const std::uint8_t, kSize> bytes)
    {
        const std::uint8_t* p = bytes.data();
        IndexNode n;
        n.selfOffset = LoadU32LE(p + 0x00);
        n.firstChildOffset = LoadU32LE(p + 0x08);
        n.parentOffset = LoadU32LE(p + 0x0C);
        n.entryCount = p[0x11];
        n.firstChildValueCount = LoadU32LE(p + 0x14);
        for (std::size_t i = 0; i < kMaxEntries; ++i)
            n.entries[i] = IndexEntry::Decode(bytes.subspan(kEntriesAt + i * IndexEntry::kSize)
                                                  .first<IndexEntry::kSize>());
        return n;
    }

    // The node checks out when it was read from where it claims to be, names the node that
    // pointed here as its parent, and uses no more entries than it has room for.
    bool ChecksOut(std::uint32_t readFrom, std::uint32_t expectedParent) const
    {
        return selfOffset == readFrom && parentOffset == expectedParent &&
               entryCount <= kMaxEntries;
    }
};

} // namespace mendora
