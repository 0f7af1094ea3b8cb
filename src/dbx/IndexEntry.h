// One entry of an index tree node: a message-information offset and the subtree after it.
#pragma once

#include "dbx/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace mendora {

struct IndexEntry {
    static constexpr std::size_t kSize = 12;

    std::uint32_t value = 0;           // offset of a MessageInfo; 0 = no value
    std::uint32_t childOffset = 0;     // subtree that follows this entry; 0 = none
    std::uint32_t childValueCount = 0; // values held by that subtree

    static IndexEntry Decode(std::span<const std::uint8_t, kSize> bytes)
    {
        IndexEntry e;
        e.value = LoadU32LE(bytes.data() + 0x00);
        e.childOffset = LoadU32LE(bytes.data() + 0x04);
        e.childValueCount = LoadU32LE(bytes.data() + 0x08);
        return e;
    }
};

} // namespace mendora
