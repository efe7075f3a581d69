#pragma once

#include <cstdint>
#include <initializer_list>

// A small set of enumerators (mouse buttons, shift keys), one bit each.
template <typename E> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items)
    {
        for (E item : items)
            m_bits |= Bit(item);
    }

    constexpr bool Contains(E item) const { return (m_bits & Bit(item)) != 0; }
    constexpr void Insert(E item) { m_bits |= Bit(item); }
    constexpr void Erase(E item) { m_bits &= ~Bit(item); }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr uint32_t Bits() const { return m_bits; }

    friend constexpr bool operator==(EnumSet, EnumSet) = default;

private:
    static constexpr uint32_t Bit(E item) { return 1u << static_cast<unsigned>(item); }

    uint32_t m_bits = 0;
};
