#include "Common/Property/ZRPropertyManager.h"

#include <iterator>

#include "Common/File/FileIO.h"
#include "Common/File/ZRDataStream.h"

namespace
{
// First byte of a stored property set.
constexpr char kMarker = 0x6D; // 'm'
} // namespace

bool CZRPropertyManager::sNameOrder::operator()(const CZRString& a, const CZRString& b) const
{
    return a.Compare(b.GetString()) < 0;
}

// Serialisation convention

int CZRPropertyManager::_GetDataFormatVersion() const { return _m_nDataFormatVersion; }
int CZRPropertyManager::GetDataFormatVersion() { return _m_nDataFormatVersion; }
bool CZRPropertyManager::CanSerialize() const { return true; }

// Construction

CZRPropertyManager::CZRPropertyManager() : m_nLastPosition(NO_POSITION) {}

CZRPropertyManager::CZRPropertyManager(const CZRPropertyManager& other) : CZRPropertyManager()
{
    CopyEntries(other);
}

CZRPropertyManager& CZRPropertyManager::operator=(const CZRPropertyManager& other)
{
    if (this != &other)
    {
        RemoveAllProperties();
        CopyEntries(other);
    }
    return *this;
}

CZRPropertyManager::~CZRPropertyManager() { RemoveAllProperties(); }

// The entries get positions of this manager.
void CZRPropertyManager::CopyEntries(const CZRPropertyManager& other)
{
    for (const auto& [name, entry] : other.m_entries)
        SetProperty(name, entry.property);
}

// Entries

CZRProperty& CZRPropertyManager::Ensure(const CZRString& name)
{
    EntryMap::iterator found = m_entries.find(name);
    if (found != m_entries.end())
        return found->second.property;
    found = m_entries.emplace_hint(found, name, sEntry{CZRProperty(), ++m_nLastPosition});
    try
    {
        m_positions.emplace(found->second.nPosition, found);
    }
    catch (...)
    {
        m_entries.erase(found); // no entry without a position
        throw;
    }
    return found->second.property;
}

void CZRPropertyManager::SetProperty(const CZRString& name, const CZRProperty& property)
{
    Ensure(name) = property;
}

void CZRPropertyManager::SetProperty(const char* name, const CZRProperty& property)
{
    SetProperty(CZRString(name), property);
}

void CZRPropertyManager::GetProperty(const CZRString& name, CZRProperty& out) const
{
    const EntryMap::const_iterator found = m_entries.find(name);
    if (found != m_entries.end())
        out = found->second.property;
    else
        out.SetType(PROPTYPE_EMPTY);
}

void CZRPropertyManager::GetProperty(const char* name, CZRProperty& out) const
{
    GetProperty(CZRString(name), out);
}

bool CZRPropertyManager::HasProperty(const CZRString& name) const
{
    return m_entries.find(name) != m_entries.end();
}

bool CZRPropertyManager::HasProperty(const char* name) const
{
    return HasProperty(CZRString(name));
}

CZRProperty& CZRPropertyManager::FindProperty(const CZRString& name)
{
    const EntryMap::iterator found = m_entries.find(name);
    if (found != m_entries.end())
        return found->second.property;
    static CZRProperty s_placeholder;
    s_placeholder.SetType(PROPTYPE_EMPTY);
    return s_placeholder;
}

CZRProperty& CZRPropertyManager::FindProperty(const char* name)
{
    return FindProperty(CZRString(name));
}

const CZRProperty& CZRPropertyManager::FindProperty(const CZRString& name) const
{
    const EntryMap::const_iterator found = m_entries.find(name);
    if (found != m_entries.end())
        return found->second.property;
    static CZRProperty s_placeholder;
    s_placeholder.SetType(PROPTYPE_EMPTY);
    return s_placeholder;
}

const CZRProperty& CZRPropertyManager::FindProperty(const char* name) const
{
    return FindProperty(CZRString(name));
}

CZRProperty& CZRPropertyManager::operator[](const CZRString& name) { return Ensure(name); }
CZRProperty& CZRPropertyManager::operator[](const char* name) { return Ensure(CZRString(name)); }

const CZRProperty& CZRPropertyManager::operator[](const CZRString& name) const
{
    return FindProperty(name);
}

const CZRProperty& CZRPropertyManager::operator[](const char* name) const
{
    return FindProperty(CZRString(name));
}

void CZRPropertyManager::RemoveProperty(const CZRString& name)
{
    const EntryMap::iterator found = m_entries.find(name);
    if (found == m_entries.end())
        return;
    m_positions.erase(found->second.nPosition);
    m_entries.erase(found);
}

void CZRPropertyManager::RemoveProperty(const char* name) { RemoveProperty(CZRString(name)); }

void CZRPropertyManager::RemoveAllProperties()
{
    m_positions.clear();
    m_entries.clear();
}

int CZRPropertyManager::GetPropertyCount() const { return static_cast<int>(m_entries.size()); }

// Iteration

bool CZRPropertyManager::GetFirstProperty(CZRString& name, CZRProperty& property,
                                          long& position) const
{
    return !m_entries.empty() && Report(m_entries.begin(), name, property, position);
}

bool CZRPropertyManager::GetNextProperty(CZRString& name, CZRProperty& property,
                                         long& position) const
{
    const auto at = m_positions.find(position);
    if (at == m_positions.end())
        return false;
    const EntryMap::const_iterator next = std::next(EntryMap::const_iterator(at->second));
    return next != m_entries.end() && Report(next, name, property, position);
}

bool CZRPropertyManager::Report(EntryMap::const_iterator entry, CZRString& name,
                                CZRProperty& property, long& position) const
{
    name = entry->first;
    property = entry->second.property;
    position = entry->second.nPosition;
    return true;
}

// Data stream

void CZRPropertyManager::Serialize(CZRDataStream& s)
{
    if (s.IsStoring())
    {
        s.Put(kMarker);
        s.Put(GetPropertyCount());
        for (auto& [name, entry] : m_entries)
        {
            s.Put(name);
            entry.property.SerializeRecord(s);
        }
        return;
    }
    char marker = 0;
    s.Get(marker);
    if (marker == kMarker)
        LoadEntries(s);
}

// Each entry is added only once its record was read, so a damaged count costs
// no more than the records actually present.
void CZRPropertyManager::LoadEntries(CZRDataStream& s)
{
    RemoveAllProperties();
    int count = 0;
    s.Get(count);
    for (int i = 0; i < count; ++i)
    {
        CZRString name;
        s.Get(name);
        CZRProperty property;
        property.SerializeRecord(s);
        SetProperty(name, property);
    }
}

// CFileIO

bool CZRPropertyManager::Write(CFileIO* file)
{
    if (file == nullptr || !file->Write(GetPropertyCount()))
        return false;
    for (const auto& [name, entry] : m_entries)
        if (!file->Write(name) || !entry.property.Write(file))
            return false;
    return true;
}

bool CZRPropertyManager::Read(CFileIO* file)
{
    if (file == nullptr)
        return false;
    int count = 0;
    if (!file->Read(count))
        return false;
    for (int i = 0; i < count; ++i)
    {
        CZRString name;
        CZRProperty property;
        if (!file->Read(name) || !property.Read(file))
            return false;
        SetProperty(name, property);
    }
    return true;
}
