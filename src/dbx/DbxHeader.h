// The mailbox file header at offset 0. Of its 9404 bytes only the index count and the index
// root are interpreted.
#pragma once

#include "dbx/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace mendora {

struct DbxHeader {
    static constexpr std::size_t kSize = 0x24BC;
    static constexpr std::size_t kIndexMessageCountAt = 0x00C4;
    static constexpr std::size_t kIndexRootOffsetAt = 0x00E4;

    std::uint32_t indexMessageCount = 0;
    std::uint32_t indexRootOffset = 0;

    static DbxHeader Decode(std::span<const std::uint8_t, kSize> bytes)
    {
        DbxHeader h;
        h.indexMessageCount = LoadU32LE(bytes.data() + kIndexMessageCountAt);
        h.indexRootOffset = LoadU32LE(bytes.data() + kIndexRootOffsetAt);
        return h;
    }

    bool HasIndex() const { return indexMessageCount != 0 && indexRootOffset != 0; }
};

} // namespace mendora
