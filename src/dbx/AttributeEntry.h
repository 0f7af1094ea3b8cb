// One attribute entry of a message-information object: a 32-bit word holding the id, the
// inline flag and either the value itself or its position in the data area.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mendora {

struct AttributeEntry {
    static constexpr std::size_t kSize = 4;
    static constexpr unsigned kStoredIds = 32; // only ids 0..31 are kept in slots

    std::uint8_t id = 0;        // 0..127
    bool isInline = false;      // the value is stored in the entry itself
    std::uint32_t value24 = 0;  // inline value, or position from the start of the data area

    static AttributeEntry Decode(std::uint32_t word)
    {
        AttributeEntry a;
        a.id = static_cast<std::uint8_t>(word & 0x7F);
        a.isInline = (word & 0x80) != 0;
        a.value24 = word >> 8;
        return a;
    }
};

} // namespace mendora
