// A compact open-addressing hash map from 32-bit file offsets to 32-bit values, for the
// claimed-block test and the predecessor lookup of the lost-message scan. The first value
// stored for a key is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace mendora {

class COffsetMap {
public:
    // Stores value under key unless the key is already present. True when stored.
    bool Insert(std::uint32_t key, std::uint32_t value = 0)
    {
        if (key == 0) {
            if (m_hasZero)
                return false;
            m_hasZero = true;
            m_zeroValue = value;
            ++m_size;
            return true;
        }
        if ((m_size + 1) * 2 > m_slots.size())
            Grow();
        std::size_t i = Slot(key);
        while (m_slots[i].key != 0) {
            if (m_slots[i].key == key)
                return false;
            i = (i + 1) & m_mask;
        }
        m_slots[i] = {key, value};
        ++m_size;
        return true;
    }

    std::optional<std::uint32_t> Find(std::uint32_t key) const
    {
        if (key == 0)
            return m_hasZero ? std::optional<std::uint32_t>(m_zeroValue) : std::nullopt;
        if (m_slots.empty())
            return std::nullopt;
        for (std::size_t i = Slot(key);; i = (i + 1) & m_mask) {
            if (m_slots[i].key == key)
                return m_slots[i].value;
            if (m_slots[i].key == 0)
                return std::nullopt;
        }
    }

    bool Contains(std::uint32_t key) const { return Find(key).has_value(); }
    std::size_t Size() const { return m_size; }

    void Reserve(std::size_t n)
    {
        while (n * 2 > m_slots.size())
            Grow();
    }

private:
    struct Entry {
        std::uint32_t key;
        std::uint32_t value;
    };

    std::size_t Slot(std::uint32_t key) const
    {
        return static_cast<std::size_t>((key * 0x9E3779B1u) >> m_shift) & m_mask;
    }

    void Grow()
    {
        std::size_t newSize = m_slots.empty() ? 64 : m_slots.size() * 2;
        std::vector<Entry> old;
        old.swap(m_slots);
        m_slots.assign(newSize, Entry{0, 0});
        m_mask = newSize - 1;
        unsigned bits = 0;
        while ((std::size_t{1} << bits) < newSize)
            ++bits;
        m_shift = 32 - bits;
        for (const Entry& e : old) {
            if (e.key == 0)
                continue;
            std::size_t i = Slot(e.key);
            while (m_slots[i].key != 0)
                i = (i + 1) & m_mask;
            m_slots[i] = e;
        }
    }

    std::vector<Entry> m_slots;
    std::size_t m_mask = 0;
    unsigned m_shift = 32;
    std::size_t m_size = 0; // includes key 0
    bool m_hasZero = false;
    std::uint32_t m_zeroValue = 0;
};

// The blocks used by extracted messages: their order as appended (duplicates allowed) and a
// hash set beside it for the membership test.
class CClaimedBlocks {
public:
    void Append(std::uint32_t offset)
    {
        m_order.push_back(offset);
        m_set.Insert(offset);
    }
    bool Contains(std::uint32_t offset) const { return m_set.Contains(offset); }
    const std::vector<std::uint32_t>& Order() const { return m_order; }

private:
    std::vector<std::uint32_t> m_order;
    COffsetMap m_set;
};

} // namespace mendora
