// Raw memory work. The word-wise functions move 32-bit words through memcpy, so
// blocks need no alignment, and then handle the last size % 4 bytes one by one.
#include "Common/Core/ZRMemFunctions.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
using Word = std::uint32_t;
constexpr std::size_t WORD_SIZE = sizeof(Word);
constexpr Word BYTE_REPEATER = 0x01010101u; // times a byte: four copies of it

Word LoadWord(const unsigned char* p)
{
    Word word;
    std::memcpy(&word, p, WORD_SIZE);
    return word;
}

void StoreWord(unsigned char* p, Word word) { std::memcpy(p, &word, WORD_SIZE); }

void FillWords(void* dst, unsigned char value, std::size_t size)
{
    auto* d = static_cast<unsigned char*>(dst);
    const Word word = value * BYTE_REPEATER;
    const std::size_t wordBytes = size - size % WORD_SIZE;
    for (std::size_t i = 0; i < wordBytes; i += WORD_SIZE)
        StoreWord(d + i, word);
    for (std::size_t i = wordBytes; i < size; ++i)
        d[i] = value;
}
} // namespace

void* MEM_Alloc(std::size_t size) { return std::malloc(size); }
void* MEM_Realloc(void* block, std::size_t size) { return std::realloc(block, size); }
void MEM_Free(void* block) { std::free(block); }

void MEM_Zero(void* dst, std::size_t size) { FillWords(dst, 0, size); }

void MEM_Set(void* dst, int value, std::size_t size)
{
    FillWords(dst, static_cast<unsigned char>(value), size);
}

void MEM_Copy(void* dst, const void* src, std::size_t size)
{
    // memmove gives what a forward copy gives wherever the blocks may overlap
    // (destination before source), and copies whole vectors at a time.
    if (size != 0)
        std::memmove(dst, src, size);
}

void MEM_Move(void* dst, const void* src, std::size_t size)
{
    if (size != 0)
        std::memmove(dst, src, size);
}

bool MEM_FastCmp(const void* a, const void* b, std::size_t size)
{
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    const std::size_t wordBytes = size - size % WORD_SIZE;
    for (std::size_t i = 0; i < wordBytes; i += WORD_SIZE)
        if (LoadWord(pa + i) != LoadWord(pb + i))
            return false;
    return true;
}

int MEM_Compare(const void* a, const void* b, std::size_t size)
{
    if (size == 0)
        return 0;
    const int diff = std::memcmp(a, b, size); // memcmp compares unsigned bytes
    return (diff > 0) - (diff < 0);
}
