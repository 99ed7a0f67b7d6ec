#include "Common/Property/ZRParams.h"

#include <algorithm>
#include <cstdint>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRString.h"
#include "Common/File/FileIO.h"
#include "Common/File/ZRDataStream.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\Property\\ZRParams";
// First byte of a stored list.
constexpr char kMarker = 0x76; // 'v'

enum : unsigned long
{
    ERROR_WRONG_COUNT = 6001,
    ERROR_WRONG_TYPE = 6002,
    ERROR_MISSING = 6003,
};
const char* const kMessageWrongCount = "Wrong number of parameters";
// An index is a long; %ld shows it whole.
const char* const kMessageWrongType = "Parameter %ld is of wrong type";
const char* const kMessageMissing = "Parameter %ld is missing";

// Throws the stream's own exception 5000 unless count bytes follow its
// position. The last of those bytes is read through an iterator of its own, so
// the stream's position stays where it is.
void RequireBytes(CZRDataStream& s, std::uint64_t count)
{
    if (count == 0)
        return;
    const std::uint64_t last = s.GetStreamPosition() + count - 1;
    CZRDataStream::Iterator probe(s);
    probe.Advance(static_cast<unsigned long>(std::min<std::uint64_t>(last, UINT32_MAX)));
    unsigned char byte = 0;
    probe.Get(&byte, sizeof byte);
}
} // namespace

// Serialisation convention

int CZRParams::_GetDataFormatVersion() const { return _m_nDataFormatVersion; }
int CZRParams::GetDataFormatVersion() { return _m_nDataFormatVersion; }
bool CZRParams::CanSerialize() const { return true; }

// Construction

CZRParams::CZRParams(long count) { ResizeList(count); }
CZRParams::CZRParams(const CZRParams& other) : m_list(other.m_list) {}
CZRParams::~CZRParams() { RemoveAll(); }

CZRParams& CZRParams::operator=(const CZRParams& other)
{
    if (this == &other)
        return *this;
    ResizeList(other.GetCount());
    for (std::size_t i = 0; i < m_list.size(); ++i)
        m_list[i] = other.m_list[i];
    return *this;
}

// List operations

void CZRParams::Add(const CZRProperty& property) { InsertAt(GetCount(), property); }

// Values move up by assignment, so formats stay at their indexes.
void CZRParams::InsertAt(long index, const CZRProperty& property)
{
    if (index < 0 || index > GetCount())
        return;
    const CZRProperty value(property); // property may be an element that moves
    Reserve(m_list.size() + 1);
    m_list.emplace_back();
    for (std::size_t i = m_list.size() - 1; i > static_cast<std::size_t>(index); --i)
        m_list[i] = m_list[i - 1];
    m_list[static_cast<std::size_t>(index)] = value;
}

// Values move down by assignment, so formats stay at their indexes.
void CZRParams::Remove(long index)
{
    if (!IsIndex(index))
        return;
    for (std::size_t i = static_cast<std::size_t>(index); i + 1 < m_list.size(); ++i)
        m_list[i] = m_list[i + 1];
    m_list.pop_back();
}

void CZRParams::RemoveAll() { m_list.clear(); }
void CZRParams::Reset() { RemoveAll(); }

void CZRParams::ResizeList(long count)
{
    const std::size_t size = count > 0 ? static_cast<std::size_t>(count) : 0;
    Reserve(size);
    m_list.resize(size);
}

void CZRParams::ResetAt(long index) { Get(index).Empty(); }

// Doubling keeps appends amortised constant; the vector never reallocates on
// its own, because its copy constructor would drop the formats.
void CZRParams::Reserve(std::size_t count)
{
    if (count <= m_list.capacity())
        return;
    std::vector<CZRProperty> grown;
    grown.reserve(std::max(count, 2 * m_list.capacity()));
    for (const CZRProperty& element : m_list)
    {
        grown.emplace_back();
        grown.back().CopyWhole(element);
    }
    m_list.swap(grown);
}

// Access

long CZRParams::GetCount() const { return static_cast<long>(m_list.size()); }
bool CZRParams::IsEmpty() const { return m_list.empty(); }
bool CZRParams::IsIndex(long index) const { return index >= 0 && index < GetCount(); }

bool CZRParams::DoesExist(long index) const
{
    return IsIndex(index) && !m_list[static_cast<std::size_t>(index)].IsOfType(PROPTYPE_EMPTY);
}

CZRProperty& CZRParams::Get(long index)
{
    if (index < 0)
    {
        static CZRProperty s_scratch;
        s_scratch.SetType(PROPTYPE_EMPTY);
        return s_scratch;
    }
    if (index >= GetCount())
        ResizeList(index + 1);
    return m_list[static_cast<std::size_t>(index)];
}

CZRProperty& CZRParams::operator[](long index) { return Get(index); }

const CZRProperty& CZRParams::Get(long index) const
{
    static const CZRProperty s_none;
    return IsIndex(index) ? m_list[static_cast<std::size_t>(index)] : s_none;
}

const CZRProperty& CZRParams::operator[](long index) const { return Get(index); }

// Checks

void CZRParams::ExpectParameterCount(long count) const
{
    if (GetCount() < count)
        ThrowException(ERROR_WRONG_COUNT, __LINE__, kSourceFile, kMessageWrongCount);
}

void CZRParams::ExpectParameterType(long index, ePropType type) const
{
    if (!IsIndex(index) || !m_list[static_cast<std::size_t>(index)].IsOfType(type))
        ThrowIndexException(ERROR_WRONG_TYPE, __LINE__, kMessageWrongType, index);
}

void CZRParams::ExpectParameter(long index) const
{
    if (!DoesExist(index))
        ThrowIndexException(ERROR_MISSING, __LINE__, kMessageMissing, index);
}

void CZRParams::ThrowIndexException(unsigned long code, unsigned long line, const char* format,
                                    long index) const
{
    CZRString message;
    message.Format(format, index);
    ThrowException(code, line, kSourceFile, message.GetString());
}

void CZRParams::ThrowException(unsigned long code, unsigned long line, const char* file,
                               const char* message) const
{
    throw CZRParamsException(code, line, file, message);
}

// Data stream

void CZRParams::Serialize(CZRDataStream& s)
{
    if (s.IsStoring())
    {
        s.Put(kMarker);
        s.Put(static_cast<int>(GetCount()));
        for (CZRProperty& element : m_list)
            element.SerializeRecord(s);
        return;
    }
    char marker = 0;
    s.Get(marker);
    if (marker == kMarker)
        LoadElements(s);
}

// Every record takes at least MinimumRecordSize bytes, so a count the rest of
// the stream cannot hold is refused before the list grows.
void CZRParams::LoadElements(CZRDataStream& s)
{
    int count = 0;
    s.Get(count);
    const long size = std::max(count, 0);
    RequireBytes(s, static_cast<std::uint64_t>(size) * CZRProperty::MinimumRecordSize());
    ResizeList(size);
    for (CZRProperty& element : m_list)
        element.SerializeRecord(s);
}

// CFileIO

bool CZRParams::Write(CFileIO* file) const
{
    if (file == nullptr || !file->Write(static_cast<int>(GetCount())))
        return false;
    for (const CZRProperty& element : m_list)
        if (!element.Write(file))
            return false;
    return true;
}

bool CZRParams::Read(CFileIO* file)
{
    if (file == nullptr)
        return false;
    RemoveAll();
    int count = 0;
    if (!file->Read(count))
        return false;
    for (int i = 0; i < count; ++i)
    {
        CZRProperty element;
        if (!element.Read(file))
            return false;
        Add(element);
    }
    return true;
}
