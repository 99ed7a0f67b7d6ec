// CZRFourCC: a four-character code that is both a readable tag and a number.
#pragma once

#include "Common/Core/ZRExport.h"

// Four bytes kept in memory order and followed by a zero terminator, so the
// code always reads as a C string. As a number the first character is the
// lowest byte of a 32-bit value; numbers passed in use only their low 32 bits
// and numbers returned never exceed 32 bits. Every setter rewrites the
// terminator. Having both conversion operators makes some mixed expressions
// ambiguous; use ToDword or ToString there.
class ZR_COMMON_API CZRFourCC
{
public:
    static constexpr int CODE_LENGTH = 4;

    // Code 0.
    CZRFourCC();
    // FromDword(value).
    CZRFourCC(unsigned long value);
    // FromString(text).
    CZRFourCC(const char* text);
    CZRFourCC(const CZRFourCC& other);
    virtual ~CZRFourCC();

    const CZRFourCC& operator=(const CZRFourCC& other);

    // A number with the first character in its highest byte, as a
    // multi-character constant 'ABCD' is: its four bytes are stored reversed.
    void FromDword(unsigned long value);
    // A number that already has the first character in its lowest byte.
    void FromFourCC(unsigned long value);
    // The first four bytes of text, taken unchanged; text must hold at least
    // four characters.
    void FromString(const char* text);
    // Reverses the order of the four characters.
    void Reverse();

    // The code, first character in the lowest byte.
    unsigned long ToDword() const;
    operator unsigned long() const;
    // The four characters followed by the terminator.
    const char* ToString() const;
    operator const char*() const;

    // Character i, 0 to 3; the index is not checked.
    char GetAt(int i) const;
    void SetAt(int i, char c);

    bool Compare(const CZRFourCC& other) const;
    bool IsEmpty() const;

private:
    char m_szCode[CODE_LENGTH + 1];
};
