// The fuzz targets' view of one input: choices taken off the front, the rest
// handed to the reader under test. Running out of bytes yields zeros, so every
// input, however short, is a valid sequence of choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFuzzInput
{
public:
    CFuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_pos >= m_size; }
    std::size_t Left() const { return m_size - m_pos; }

    std::uint8_t Byte() { return Empty() ? 0 : m_data[m_pos++]; }

    // A little-endian 32-bit value; the full range, negative values included.
    std::int32_t Int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }

    bool Bool() { return (Byte() & 1) != 0; }

    // Up to maxLength bytes, the length chosen by the input; may hold zero bytes.
    std::string Text(std::size_t maxLength)
    {
        const std::size_t length = Byte() % (maxLength + 1);
        return Bytes(length);
    }

    std::string Bytes(std::size_t count)
    {
        const std::size_t n = count < Left() ? count : Left();
        std::string text(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return text;
    }

    std::string Rest() { return Bytes(Left()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};
