// CZRString: the library's text value, and CZRStringId: a string-resource number.
#pragma once

#include <cstdarg>
#include <cstring>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRMemFunctions.h"

class CZRString;

// The state of a CZRString. Without a buffer: lock count, length and capacity 0.
// With one: length <= capacity, pszBuffer[nLength] == 0 and the allocation is
// nCapacity + 1 bytes.
struct sStringData
{
    int nLockCount; // 1 while a buffer is held, +1 per outstanding GetBuffer
    long nLength;   // bytes of text, without the terminator
    int nCapacity;  // bytes of text the buffer can hold, without the terminator
    long nStringId; // resource the text came from; -1 for none
    char* pszBuffer;
};

// A typed string-resource number, accepted wherever text is accepted: a
// CZRString constructed from it holds the resource's text.
class ZR_COMMON_API CZRStringId
{
public:
    CZRStringId(long id);
    CZRStringId(const CZRStringId& other);
    virtual ~CZRStringId();

    const CZRStringId& operator=(long id);
    const CZRStringId& operator=(const CZRStringId& other);

    long GetId() const;

private:
    long m_nId;
};

// Host hooks for string resources; null until the host installs them.
// s_pfnLoadString puts the text of resource id into text and returns true, or
// returns false when there is no such resource. s_pfnIsStringIdentical returns
// true when text equals the current text of resource id.
extern ZR_COMMON_API bool (*s_pfnLoadString)(long id, CZRString& text);
extern ZR_COMMON_API bool (*s_pfnIsStringIdentical)(long id, const CZRString& text);

// A zero-terminated byte string in the current multibyte code page that owns its
// buffer alone (copies never share storage) and may remember the string resource
// its text came from. Character-level work never splits a double-byte character.
//
// A string that never held text has no buffer and converts to a null pointer; an
// emptied one keeps its buffer and converts to "". Buffers grow to exactly the
// length needed and never shrink. The text may contain zero bytes: the length,
// not the first zero, is where it ends. Not safe for concurrent use of one instance.
class ZR_COMMON_API CZRString
{
public:
    CZRString();
    CZRString(const char* text);
    CZRString(const CZRString& other);
    CZRString(const CZRStringId& id);
    // nRepeat copies of ch; no buffer when nRepeat < 1.
    CZRString(char ch, int nRepeat);
    virtual ~CZRString();

    // Copies text and string id.
    const CZRString& operator=(const CZRString& other);
    // Null empties the string. A pointer value below 0x10000 is a resource number:
    // the string is emptied and the resource loaded (see LoadStringResource).
    const CZRString& operator=(const char* text);
    // The one character ch; ch == 0 empties the string.
    const CZRString& operator=(char ch);
    const CZRString& operator=(const CZRStringId& id);

    // Appending copies into the buffer when the text fits; otherwise the buffer
    // is replaced by one of exactly the new length.
    const CZRString& operator+=(const CZRString& other)
    {
        ConcatInPlace(static_cast<int>(other.m_data.nLength), other.m_data.pszBuffer);
        return *this;
    }
    const CZRString& operator+=(const char* text)
    {
        if (text != nullptr)
            ConcatInPlace(static_cast<int>(std::strlen(text)), text);
        return *this;
    }
    // Appends the byte ch, even a zero byte.
    const CZRString& operator+=(char ch)
    {
        ConcatInPlace(1, &ch);
        return *this;
    }

    friend ZR_COMMON_API CZRString operator+(const CZRString& a, const CZRString& b);
    friend ZR_COMMON_API CZRString operator+(const CZRString& a, const char* b);
    friend ZR_COMMON_API CZRString operator+(const CZRString& a, char b);
    friend ZR_COMMON_API CZRString operator+(char a, const CZRString& b);

    long GetLength() const { return m_data.nLength; }
    bool IsEmpty() const { return m_data.nLength == 0; }
    // The buffer itself: null without a buffer.
    const char* GetString() const { return m_data.pszBuffer; }
    operator const char*() const { return m_data.pszBuffer; }
    const char* operator~() const { return m_data.pszBuffer; }
    // The byte at index as 0-255; the index is not checked.
    int GetAt(int index) const;
    int operator[](int index) const;
    // Stores a byte; the index is not checked, the length does not change.
    void SetAt(int index, char ch);
    const sStringData* GetData() const;

    // Negative, 0 or positive; a missing buffer and a null text count as "".
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;
    int Collate(const char* text) const;
    int CollateNoCase(const char* text) const;

    // A copy of the whole string keeps the string id; a part has id -1.
    CZRString Left(int count) const;
    CZRString Right(int count) const;
    CZRString Mid(int start, int count) const;
    CZRString Mid(int start) const;

    // Byte index of the match, or -1. An empty string finds nothing.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;
    int ReverseFindOneOf(const char* set) const;

    // Length 0; keeps buffer, capacity and string id.
    void Empty();
    void MakeUpper();
    void MakeLower();
    // Reverses by characters: a double-byte character keeps its byte order.
    void MakeReverse();
    // Replaces the first byte of each character equal to chOld; returns the count.
    int Replace(char chOld, char chNew);
    // Replaces every non-overlapping occurrence, left to right, in every
    // zero-separated segment of the text; null or "" as pszNew deletes them.
    // Returns the count. Works on a fresh buffer when the text does not fit or
    // a GetBuffer is outstanding. pszOld and pszNew must not point into this string.
    int Replace(const char* pszOld, const char* pszNew);
    // Removes leading white space.
    void TrimLeft();

    // printf-style formatting; the result is cut to its first 1,023 bytes, and
    // costs no more for a larger width or precision. A format the C library
    // cannot format (a width beyond INT_MAX, a wide character without a
    // multibyte form, a format ending inside a conversion) keeps what was
    // formatted before the failure.
    void Format(const char* fmt, ...);
    // Formats with the text of resource id; an id without text gives "".
    void Format(long id, ...);
    // A null format empties the string.
    void FormatV(const char* fmt, va_list args);

    // strtol / strtoul / strtod of the text; an empty string gives 0.
    int ToInt(int base = 10) const;
    long ToLong(int base = 10) const;
    unsigned int ToUint(int base = 10) const;
    unsigned long ToUlong(int base = 10) const;
    float ToFloat() const;
    double ToDouble() const;
    // True for "1" and for "true" in any case; false for everything else.
    bool ToBool() const;

    // Room for n + 1 bytes plus terminator. A buffer too small is replaced and
    // its text and string id are lost (the length is n + 1 until ReleaseBuffer);
    // otherwise text, length and id are kept. Pair every call with ReleaseBuffer,
    // which leaves the id alone.
    char* GetBuffer(int n);
    // Sets the length to n, or to the length of the zero-terminated contents for
    // n == -1, and terminates there. n must not exceed the capacity.
    void ReleaseBuffer(int n = -1);

    // Loads the text of resource id through s_pfnLoadString. Without a hook:
    // false and nothing changes. On failure the string is emptied and has no id.
    bool LoadStringResource(long id);
    // Asks s_pfnIsStringIdentical; false without a hook or without an id.
    bool IsIdenticalToStringResource() const;
    bool HasStringId() const;
    long GetStringId() const;

private:
    static constexpr long kNoStringId = -1;

    static int GetSafeStringLength(const char* text);
    static const char* SafeText(const char* text);
    static char* Alloc(int n) { return new char[n]; }

    // No buffer, length and capacity 0, no string id; frees nothing.
    void Init()
    {
        m_data.nLockCount = 0;
        m_data.nLength = 0;
        m_data.nCapacity = 0;
        m_data.nStringId = kNoStringId;
        m_data.pszBuffer = nullptr;
    }
    void AllocBuffer(int n);
    // Releases the buffer, then Init: the string id goes with it.
    void FreeBuffer()
    {
        delete[] m_data.pszBuffer;
        Init();
    }
    void GrowBufferIfNeeded(int n);
    void AssignCopy(int n, const char* src);
    // src may lie in this string's own text (s += s): it never overlaps the
    // bytes after the text, and a growing append reads it before the release.
    void ConcatInPlace(int n, const char* src)
    {
        if (n == 0)
            return;
        const long length = m_data.nLength;
        const long newLength = length + n;
        if (newLength > m_data.nCapacity)
        {
            ConcatGrowing(n, src);
            return;
        }
        MEM_Copy(m_data.pszBuffer + length, src, static_cast<std::size_t>(n));
        m_data.nLength = newLength;
        m_data.pszBuffer[newLength] = '\0';
    }
    void ConcatGrowing(int n, const char* src);
    void ConcatCopy(int len1, const char* src1, int len2, const char* src2);

    int CountOccurrences(const char* pszOld, int oldLen) const;
    void ReplaceInPlace(const char* pszOld, int oldLen, const char* pszNew, int newLen);
    void ReplaceIntoFreshBuffer(const char* pszOld, int oldLen, const char* pszNew,
                                int newLen, int newLength);
    CZRString Part(int start, int count) const;

    sStringData m_data;
};

// The concatenations, declared again outside the class. The friend declarations
// come first and carry the export attribute, as Windows compilers require.
ZR_COMMON_API CZRString operator+(const CZRString& a, const CZRString& b);
ZR_COMMON_API CZRString operator+(const CZRString& a, const char* b);
ZR_COMMON_API CZRString operator+(const CZRString& a, char b);
ZR_COMMON_API CZRString operator+(char a, const CZRString& b);
