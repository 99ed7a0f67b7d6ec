#include "Common/Core/ZRString.h"

#include <cstdint>

#include "Common/Core/ZRFormat.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRStrFunctions.h"

namespace
{
// A text pointer whose value has no bits above these is a resource number.
constexpr int kResourceIdBits = 16;
constexpr std::uintptr_t kResourceIdMask = 0xFFFF;
// Formatting works in a stack buffer of this size; one byte is the terminator.
constexpr int kFormatScratchSize = 1024;
constexpr const char kTrueText[] = "TRUE";
constexpr long kTrueTextLength = sizeof(kTrueText) - 1;

// The index of a match in text, or -1 for none.
int IndexIn(const char* text, const char* match)
{
    return match != nullptr ? static_cast<int>(match - text) : -1;
}

bool IsResourceNumber(const char* text)
{
    return (reinterpret_cast<std::uintptr_t>(text) >> kResourceIdBits) == 0;
}
} // namespace

bool (*s_pfnLoadString)(long id, CZRString& text) = nullptr;
bool (*s_pfnIsStringIdentical)(long id, const CZRString& text) = nullptr;

CZRStringId::CZRStringId(long id) : m_nId(id) {}
CZRStringId::CZRStringId(const CZRStringId& other) : m_nId(other.m_nId) {}
CZRStringId::~CZRStringId() = default;

const CZRStringId& CZRStringId::operator=(long id)
{
    m_nId = id;
    return *this;
}

const CZRStringId& CZRStringId::operator=(const CZRStringId& other)
{
    m_nId = other.m_nId;
    return *this;
}

long CZRStringId::GetId() const { return m_nId; }

// Buffer primitives. Every operation below is built on these, so the buffer
// policies (exact growth, no shrinking, id reset on replacement) hold throughout.

int CZRString::GetSafeStringLength(const char* text)
{
    return text != nullptr ? STR_strlen(text) : 0;
}

const char* CZRString::SafeText(const char* text) { return text != nullptr ? text : ""; }

void CZRString::AllocBuffer(int n)
{
    if (n <= 0)
    {
        Init();
        return;
    }
    m_data.pszBuffer = Alloc(n + 1);
    m_data.nLockCount = 1;
    m_data.nLength = n;
    m_data.nCapacity = n;
    m_data.pszBuffer[n] = '\0';
}

void CZRString::GrowBufferIfNeeded(int n)
{
    if (n > m_data.nCapacity)
    {
        FreeBuffer();
        AllocBuffer(n);
    }
}

void CZRString::AssignCopy(int n, const char* src)
{
    if (n < 1)
    {
        Empty();
        return;
    }
    GrowBufferIfNeeded(n);
    MEM_Copy(m_data.pszBuffer, src, n);
    m_data.nLength = n;
    m_data.pszBuffer[n] = '\0';
}

// The growing half of ConcatInPlace: a buffer of exactly the new length.
void CZRString::ConcatGrowing(int n, const char* src)
{
    const int length = static_cast<int>(m_data.nLength);
    const int newLength = length + n;
    // src may lie in the old buffer (s += s), so it is read before the release.
    char* grown = Alloc(newLength + 1);
    MEM_Copy(grown, m_data.pszBuffer, length);
    MEM_Copy(grown + length, src, n);
    FreeBuffer();
    m_data.pszBuffer = grown;
    m_data.nLockCount = 1;
    m_data.nCapacity = newLength;
    m_data.nLength = newLength;
    m_data.pszBuffer[newLength] = '\0';
}

void CZRString::ConcatCopy(int len1, const char* src1, int len2, const char* src2)
{
    if (len1 + len2 == 0)
        return;
    FreeBuffer();
    AllocBuffer(len1 + len2);
    MEM_Copy(m_data.pszBuffer, src1, len1);
    MEM_Copy(m_data.pszBuffer + len1, src2, len2);
}

// Construction and assignment

CZRString::CZRString() { Init(); }

CZRString::CZRString(const char* text)
{
    Init();
    *this = text;
}

CZRString::CZRString(const CZRString& other)
{
    Init();
    *this = other;
}

CZRString::CZRString(const CZRStringId& id)
{
    Init();
    LoadStringResource(id.GetId());
}

CZRString::CZRString(char ch, int nRepeat)
{
    Init();
    if (nRepeat < 1)
        return;
    AllocBuffer(nRepeat);
    MEM_Set(m_data.pszBuffer, static_cast<unsigned char>(ch), nRepeat);
}

CZRString::~CZRString()
{
    if (m_data.pszBuffer != nullptr)
        FreeBuffer();
}

const CZRString& CZRString::operator=(const CZRString& other)
{
    if (m_data.pszBuffer != other.m_data.pszBuffer)
        AssignCopy(static_cast<int>(other.m_data.nLength), other.m_data.pszBuffer);
    m_data.nStringId = other.m_data.nStringId;
    return *this;
}

const CZRString& CZRString::operator=(const char* text)
{
    if (text == nullptr)
    {
        Empty();
    }
    else if (IsResourceNumber(text))
    {
        Empty();
        LoadStringResource(static_cast<long>(reinterpret_cast<std::uintptr_t>(text) & kResourceIdMask));
    }
    else
    {
        AssignCopy(STR_strlen(text), text);
    }
    return *this;
}

const CZRString& CZRString::operator=(char ch)
{
    AssignCopy(ch != '\0' ? 1 : 0, &ch);
    return *this;
}

const CZRString& CZRString::operator=(const CZRStringId& id)
{
    LoadStringResource(id.GetId());
    return *this;
}

// Concatenation

CZRString operator+(const CZRString& a, const CZRString& b)
{
    CZRString result;
    result.ConcatCopy(static_cast<int>(a.m_data.nLength), a.m_data.pszBuffer,
                      static_cast<int>(b.m_data.nLength), b.m_data.pszBuffer);
    return result;
}

CZRString operator+(const CZRString& a, const char* b)
{
    CZRString result;
    result.ConcatCopy(static_cast<int>(a.m_data.nLength), a.m_data.pszBuffer,
                      CZRString::GetSafeStringLength(b), b);
    return result;
}

CZRString operator+(const CZRString& a, char b)
{
    CZRString result;
    result.ConcatCopy(static_cast<int>(a.m_data.nLength), a.m_data.pszBuffer, 1, &b);
    return result;
}

CZRString operator+(char a, const CZRString& b)
{
    CZRString result;
    result.ConcatCopy(1, &a, static_cast<int>(b.m_data.nLength), b.m_data.pszBuffer);
    return result;
}

// Access

int CZRString::GetAt(int index) const
{
    return static_cast<unsigned char>(m_data.pszBuffer[index]);
}

int CZRString::operator[](int index) const { return GetAt(index); }
void CZRString::SetAt(int index, char ch) { m_data.pszBuffer[index] = ch; }
const sStringData* CZRString::GetData() const { return &m_data; }

// Comparison

int CZRString::Compare(const char* text) const
{
    return STR_strcmp(SafeText(m_data.pszBuffer), SafeText(text));
}

int CZRString::CompareNoCase(const char* text) const
{
    return STR_stricmp(SafeText(m_data.pszBuffer), SafeText(text));
}

int CZRString::Collate(const char* text) const
{
    return STR_strcoll(SafeText(m_data.pszBuffer), SafeText(text));
}

int CZRString::CollateNoCase(const char* text) const
{
    return STR_stricoll(SafeText(m_data.pszBuffer), SafeText(text));
}

// Extraction

CZRString CZRString::Part(int start, int count) const
{
    CZRString result;
    result.ConcatCopy(count, m_data.pszBuffer + start, 0, nullptr);
    return result;
}

CZRString CZRString::Left(int count) const
{
    if (count <= 0)
        return CZRString();
    if (count < m_data.nLength)
        return Part(0, count);
    return *this;
}

CZRString CZRString::Right(int count) const
{
    if (count < 0)
        count = 0;
    if (count < m_data.nLength)
        return Part(static_cast<int>(m_data.nLength) - count, count);
    return *this;
}

CZRString CZRString::Mid(int start, int count) const
{
    if (count == 0)
        return CZRString();
    // 64-bit arithmetic: start + count must not overflow for extreme arguments.
    const long long length = m_data.nLength;
    const long long first = start < 0 ? 0 : start;
    long long taken = count;
    if (first + taken >= length)
        taken = length - first;
    if (first >= length)
        taken = 0;
    if (first == 0 && taken == length)
        return *this;
    if (taken <= 0)
        return CZRString();
    return Part(static_cast<int>(first), static_cast<int>(taken));
}

CZRString CZRString::Mid(int start) const
{
    // length - start passes INT_MAX for the most negative starts; any count
    // from the length on takes the rest.
    const long long rest = static_cast<long long>(m_data.nLength) - start;
    return Mid(start, static_cast<int>(rest < INT32_MAX ? rest : INT32_MAX));
}

// Search

int CZRString::Find(char ch, int start) const
{
    if (start < 0)
        start = 0;
    if (start >= m_data.nLength)
        return -1;
    return IndexIn(m_data.pszBuffer, STR_strchr(m_data.pszBuffer + start, static_cast<unsigned char>(ch)));
}

int CZRString::Find(const char* sub, int start) const
{
    if (start < 0)
        start = 0;
    if (IsEmpty() || sub == nullptr || sub[0] == '\0' || start > m_data.nLength)
        return -1;
    return IndexIn(m_data.pszBuffer, STR_strstr(m_data.pszBuffer + start, sub));
}

int CZRString::ReverseFind(char ch) const
{
    if (IsEmpty())
        return -1;
    return IndexIn(m_data.pszBuffer, STR_strrchr(m_data.pszBuffer, static_cast<unsigned char>(ch)));
}

int CZRString::FindOneOf(const char* set) const
{
    if (IsEmpty() || set == nullptr)
        return -1;
    return IndexIn(m_data.pszBuffer, STR_strpbrk(m_data.pszBuffer, set));
}

int CZRString::ReverseFindOneOf(const char* set) const
{
    if (IsEmpty() || set == nullptr)
        return -1;
    return IndexIn(m_data.pszBuffer, STR_strrpbrk(m_data.pszBuffer, set));
}

// Modification

void CZRString::Empty()
{
    if (m_data.nLength == 0)
        return;
    m_data.nLength = 0;
    m_data.pszBuffer[0] = '\0';
}

void CZRString::MakeUpper()
{
    if (m_data.pszBuffer != nullptr)
        STR_strupr(m_data.pszBuffer);
}

void CZRString::MakeLower()
{
    if (m_data.pszBuffer != nullptr)
        STR_strlwr(m_data.pszBuffer);
}

void CZRString::MakeReverse()
{
    if (m_data.pszBuffer != nullptr)
        STR_strrev(m_data.pszBuffer);
}

int CZRString::Replace(char chOld, char chNew)
{
    if (chOld == chNew)
        return 0;
    int count = 0;
    char* const end = m_data.pszBuffer + m_data.nLength;
    // The step is taken before the byte changes, so a replaced lead byte still
    // moves on by its whole character.
    for (char* p = m_data.pszBuffer; p < end;)
    {
        char* const next = STR_strinc(p);
        if (*p == chOld)
        {
            *p = chNew;
            ++count;
        }
        p = next;
    }
    return count;
}

// Counts left to right without overlap, segment by segment across embedded zeros.
int CZRString::CountOccurrences(const char* pszOld, int oldLen) const
{
    int count = 0;
    const char* const end = m_data.pszBuffer + m_data.nLength;
    for (const char* p = m_data.pszBuffer; p < end; p += STR_strlen(p) + 1)
    {
        for (const char* hit = STR_strstr(p, pszOld); hit != nullptr; hit = STR_strstr(p, pszOld))
        {
            ++count;
            p = hit + oldLen;
        }
    }
    return count;
}

// Opens a gap of newLen bytes at each occurrence by moving the rest of the text;
// the buffer must hold the text at every step.
void CZRString::ReplaceInPlace(const char* pszOld, int oldLen, const char* pszNew, int newLen)
{
    char* const buffer = m_data.pszBuffer;
    long length = m_data.nLength;
    for (char* p = buffer; p < buffer + length; p += STR_strlen(p) + 1)
    {
        for (char* hit = STR_strstr(p, pszOld); hit != nullptr; hit = STR_strstr(p, pszOld))
        {
            char* const rest = hit + oldLen;
            MEM_Move(hit + newLen, rest, buffer + length - rest);
            if (newLen > 0)
                MEM_Copy(hit, pszNew, newLen);
            length += newLen - oldLen;
            buffer[length] = '\0';
            p = hit + newLen;
        }
    }
}

// Builds the result in a buffer of exactly newLength + 1 bytes, leaving the old
// buffer untouched until it is released.
void CZRString::ReplaceIntoFreshBuffer(const char* pszOld, int oldLen, const char* pszNew,
                                       int newLen, int newLength)
{
    char* const fresh = Alloc(newLength + 1);
    char* out = fresh;
    const char* const end = m_data.pszBuffer + m_data.nLength;
    for (const char* p = m_data.pszBuffer; p < end;)
    {
        for (const char* hit = STR_strstr(p, pszOld); hit != nullptr; hit = STR_strstr(p, pszOld))
        {
            MEM_Copy(out, p, hit - p);
            out += hit - p;
            if (newLen > 0)
                MEM_Copy(out, pszNew, newLen);
            out += newLen;
            p = hit + oldLen;
        }
        const int segmentRest = STR_strlen(p) + 1;
        MEM_Copy(out, p, segmentRest);
        out += segmentRest;
        p += segmentRest;
    }
    fresh[newLength] = '\0';
    FreeBuffer();
    m_data.pszBuffer = fresh;
    m_data.nLockCount = 1;
    m_data.nCapacity = newLength;
}

int CZRString::Replace(const char* pszOld, const char* pszNew)
{
    const int oldLen = GetSafeStringLength(pszOld);
    if (oldLen == 0)
        return 0;
    const int newLen = GetSafeStringLength(pszNew);
    const int count = CountOccurrences(pszOld, oldLen);
    if (count == 0)
        return 0;
    const int newLength = static_cast<int>(m_data.nLength) + (newLen - oldLen) * count;
    if (m_data.nCapacity < newLength || m_data.nLockCount >= 2)
        ReplaceIntoFreshBuffer(pszOld, oldLen, pszNew, newLen, newLength);
    else
        ReplaceInPlace(pszOld, oldLen, pszNew, newLen);
    m_data.nLength = newLength;
    return count;
}

void CZRString::TrimLeft()
{
    if (m_data.pszBuffer == nullptr)
        return;
    const char* p = m_data.pszBuffer;
    for (;;)
    {
        const unsigned char lead = static_cast<unsigned char>(p[0]);
        const unsigned int ch =
            STR_IsLeadByte(lead) ? (lead << 8) | static_cast<unsigned char>(p[1]) : lead;
        if (ch == 0 || !STR_isspace(ch))
            break;
        p = STR_strinc(p);
    }
    const long skipped = p - m_data.pszBuffer;
    if (skipped == 0)
        return;
    m_data.nLength -= skipped;
    MEM_Move(m_data.pszBuffer, p, m_data.nLength + 1);
}

// Formatting

void CZRString::Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
}

void CZRString::Format(long id, ...)
{
    CZRString format;
    format.LoadStringResource(id);
    va_list args;
    va_start(args, id);
    FormatV(format.GetString(), args);
    va_end(args);
}

void CZRString::FormatV(const char* fmt, va_list args)
{
    if (fmt == nullptr)
    {
        Empty();
        return;
    }
    // The first 1,023 bytes are kept; whatever the output would be beyond them
    // is only counted. When the C library cannot format the text, what was
    // formatted before the failure is kept.
    char scratch[kFormatScratchSize];
    const ZRFormat::Result result = ZRFormat::Format(scratch, kFormatScratchSize - 1, fmt, args);
    AssignCopy(static_cast<int>(result.kept), scratch);
}

// Conversion

int CZRString::ToInt(int base) const { return static_cast<int>(ToLong(base)); }

long CZRString::ToLong(int base) const
{
    return IsEmpty() ? 0 : STR_strtol(m_data.pszBuffer, nullptr, base);
}

unsigned int CZRString::ToUint(int base) const { return static_cast<unsigned int>(ToUlong(base)); }

unsigned long CZRString::ToUlong(int base) const
{
    return IsEmpty() ? 0 : STR_strtoul(m_data.pszBuffer, nullptr, base);
}

float CZRString::ToFloat() const { return static_cast<float>(ToDouble()); }

double CZRString::ToDouble() const
{
    return IsEmpty() ? 0.0 : STR_strtod(m_data.pszBuffer, nullptr);
}

bool CZRString::ToBool() const
{
    if (m_data.nLength == 1)
        return m_data.pszBuffer[0] == '1';
    if (m_data.nLength == kTrueTextLength)
        return STR_stricmp(m_data.pszBuffer, kTrueText) == 0;
    return false;
}

// Direct buffer access

char* CZRString::GetBuffer(int n)
{
    GrowBufferIfNeeded(n + 1);
    ++m_data.nLockCount;
    return m_data.pszBuffer;
}

void CZRString::ReleaseBuffer(int n)
{
    --m_data.nLockCount;
    if (m_data.pszBuffer == nullptr)
        return;
    m_data.nLength = n == -1 ? STR_strlen(m_data.pszBuffer) : n;
    m_data.pszBuffer[m_data.nLength] = '\0';
}

// String resources

bool CZRString::LoadStringResource(long id)
{
    if (s_pfnLoadString == nullptr)
        return false;
    if (s_pfnLoadString(id, *this))
    {
        m_data.nStringId = id;
        return true;
    }
    Empty();
    m_data.nStringId = kNoStringId;
    return false;
}

bool CZRString::IsIdenticalToStringResource() const
{
    if (s_pfnIsStringIdentical == nullptr || m_data.nStringId == kNoStringId)
        return false;
    return s_pfnIsStringIdentical(m_data.nStringId, *this);
}

bool CZRString::HasStringId() const { return m_data.nStringId != kNoStringId; }
long CZRString::GetStringId() const { return m_data.nStringId; }
