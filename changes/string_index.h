#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane {

// Finds the entries of a list by their text: the AFTER scan matches a hundred thousand directories and more
// against the BEFORE file's, and a node-based hash map spends most of that time on allocations and cache
// misses. This is one flat table probed in sequence. A slot holds an entry's number and its text's hash, so a
// lookup usually reads one slot and compares one text; the text itself stays in the caller's list, where
// keyOf(number) finds it. Tables of more than 2^32 slots are not supported (nor needed: entries are 32-bit).
template <typename KeyOf>
class StringIndex {
public:
    static constexpr std::uint32_t kAbsent = UINT32_MAX;

    StringIndex(std::size_t expected, KeyOf keyOf) : m_keyOf(std::move(keyOf))
    {
        resize(std::bit_ceil(std::max<std::size_t>(16, 2 * expected)));
    }

    // The entry stored under the text key, or kAbsent.
    std::uint32_t find(std::string_view key) const
    {
        const std::uint32_t hash = hashOf(key);
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.entry == kAbsent) {
                return kAbsent;
            }
            if (slot.hash == hash && m_keyOf(slot.entry) == key) {
                return slot.entry;
            }
        }
    }

    // Stores entry under its text, in place of the entry stored under the same text before, which it returns
    // (kAbsent when there was none).
    std::uint32_t put(std::uint32_t entry)
    {
        if (2 * (m_count + 1) > m_slots.size()) {
            grow();
        }
        const std::string_view key = m_keyOf(entry);
        const std::uint32_t hash = hashOf(key);
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            Slot& slot = m_slots[at];
            if (slot.entry == kAbsent) {
                slot = Slot{entry, hash};
                ++m_count;
                return kAbsent;
            }
            if (slot.hash == hash && m_keyOf(slot.entry) == key) {
                const std::uint32_t before = slot.entry;
                slot.entry = entry;
                return before;
            }
        }
    }

private:
    // The hash's low 32 bits: they choose the slot in any table of up to 2^32 slots, so a larger table is
    // filled again from the slots alone, without reading the texts.
    struct Slot {
        std::uint32_t entry = kAbsent;
        std::uint32_t hash = 0;
    };

    static std::uint32_t hashOf(std::string_view key)
    {
        return static_cast<std::uint32_t>(std::hash<std::string_view>{}(key));
    }

    void resize(std::size_t slots)
    {
        m_slots.assign(slots, Slot{});
        m_mask = slots - 1;
        m_count = 0;
    }

    void grow()
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        resize(2 * old.size());
        for (const Slot& slot : old) {
            if (slot.entry != kAbsent) {
                std::size_t at = slot.hash & m_mask;
                while (m_slots[at].entry != kAbsent) {
                    at = (at + 1) & m_mask;
                }
                m_slots[at] = slot;
                ++m_count;
            }
        }
    }

    KeyOf m_keyOf;
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_count = 0;
};

}  // namespace morvane
