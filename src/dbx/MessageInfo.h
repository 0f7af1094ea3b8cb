// The header of a message-information object; the body of bodyLength bytes follows it and holds
// the attribute entries and then the data area.
#pragma once

#include "dbx/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace mendora {

struct MessageInfo {
    static constexpr std::size_t kHeaderSize = 12;
    static constexpr unsigned kMessageDataAttribute = 4; // offset of the first data block

    std::uint32_t selfOffset = 0;
    std::uint32_t bodyLength = 0;
    std::uint8_t attributeCount = 0;

    static MessageInfo Decode(std::span<const std::uint8_t, kHeaderSize> bytes)
    {
        MessageInfo m;
        m.selfOffset = LoadU32LE(bytes.data() + 0x00);
        m.bodyLength = LoadU32LE(bytes.data() + 0x04);
        m.attributeCount = bytes[0x0A];
        return m;
    }
};

} // namespace mendora
