// The 16-byte header of a message data block; the block's data follows it.
#pragma once

#include "dbx/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace mendora {

struct BlockHeader {
    static constexpr std::size_t kSize = 16;
    static constexpr std::uint32_t kNormalBlockSize = 512;
    static constexpr std::uint32_t kMaxDataUsed = 512;

    std::uint32_t selfOffset = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t nextBlockOffset = 0;

    static BlockHeader Decode(std::span<const std::uint8_t, kSize> bytes)
    {
        BlockHeader b;
        b.selfOffset = LoadU32LE(bytes.data() + 0x00);
        b.blockSize = LoadU32LE(bytes.data() + 0x04);
        b.dataLength = LoadU32LE(bytes.data() + 0x08);
        b.nextBlockOffset = LoadU32LE(bytes.data() + 0x0C);
        return b;
    }

    std::uint32_t UsedDataLength() const
    {
        return dataLength < kMaxDataUsed ? dataLength : kMaxDataUsed;
    }
};

} // namespace mendora
