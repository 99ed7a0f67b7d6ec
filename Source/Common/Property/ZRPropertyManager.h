// CZRPropertyManager: a named set of properties.
#pragma once

#include <map>
#include <unordered_map>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/Property/ZRProperty.h"

class CFileIO;
class CZRDataStream;

// Properties by name, one entry per distinct name, kept in ascending order of
// CZRString::Compare (byte order, case-sensitive: "Speed" before "speed"; the
// empty name is a name). A name is kept as given, string id included.
//
// Whatever enters or leaves through SetProperty, GetProperty, iteration, copying
// or loading is a property copy (type and value, never the format); an entry's
// own format is set through the reference FindProperty or operator[] returns.
// Missing names are never an error. Operations taking const char* build a
// CZRString from it first (null is the empty name, a value below 0x10000 a
// string resource number).
//
// Iteration positions are opaque numbers, one per entry, never reused within a
// manager: a position stays valid while its entry exists, whatever is added or
// removed meanwhile, and a position whose entry is gone (or that was never
// handed out) makes GetNextProperty return false. Not safe for concurrent use;
// the two FindProperty placeholders are shared by every manager.
class ZR_COMMON_API CZRPropertyManager
{
    // Virtual operations are declared in their slot order.
protected:
    virtual int _GetDataFormatVersion() const;

public:
    virtual bool CanSerialize() const;
    virtual ~CZRPropertyManager();
    // Merges: reads the count, then that many names (CFileIO's string form)
    // with properties (CZRProperty::Read) and sets each. False for a null file
    // or at the first failing read; the pairs read before stay.
    virtual bool Read(CFileIO* file);
    // The count as 4 bytes, then in name order each name and property
    // (CZRProperty::Write: no format, no version). False for a null file or at
    // the first failing write.
    virtual bool Write(CFileIO* file);
    // Storing: the marker 0x6D ('m'), the count as 4 bytes, then in name order
    // each name (the stream's string form) and its property framed with the
    // property version. Loading: a first byte other than 0x6D is consumed and
    // ends the load with the entries kept; otherwise all entries are replaced by
    // the stored ones (formats dropped; a repeated name keeps its last value).
    // A stream that ends early throws its own exception with the entries before
    // loaded; entries are added one per record read, never ahead of the data.
    virtual void Serialize(CZRDataStream& s);

    CZRPropertyManager();
    // The same names with copies of the properties.
    CZRPropertyManager(const CZRPropertyManager& other);
    CZRPropertyManager& operator=(const CZRPropertyManager& other);

    // Creates the entry (empty) if needed, then assigns property to it; the
    // entry's format stays.
    void SetProperty(const CZRString& name, const CZRProperty& property);
    void SetProperty(const char* name, const CZRProperty& property);
    // Assigns the entry to out; for a missing name only out's type becomes
    // PROPTYPE_EMPTY.
    void GetProperty(const CZRString& name, CZRProperty& out) const;
    void GetProperty(const char* name, CZRProperty& out) const;
    bool HasProperty(const CZRString& name) const;
    bool HasProperty(const char* name) const;
    // The entry's property itself. A missing name gives a placeholder shared by
    // the process, its type set to PROPTYPE_EMPTY (its slots and format are what
    // was left in it); writing to it adds nothing.
    CZRProperty& FindProperty(const CZRString& name);
    CZRProperty& FindProperty(const char* name);
    const CZRProperty& FindProperty(const CZRString& name) const;
    const CZRProperty& FindProperty(const char* name) const;
    // The entry's property, created empty when missing.
    CZRProperty& operator[](const CZRString& name);
    CZRProperty& operator[](const char* name);
    // As the const FindProperty.
    const CZRProperty& operator[](const CZRString& name) const;
    const CZRProperty& operator[](const char* name) const;
    // A missing name changes nothing.
    void RemoveProperty(const CZRString& name);
    void RemoveProperty(const char* name);
    void RemoveAllProperties();
    int GetPropertyCount() const;

    // The first entry in name order into name and property (assigned), its
    // position into position; false, with nothing written, when there is none.
    bool GetFirstProperty(CZRString& name, CZRProperty& property, long& position) const;
    // The entry after the one at position, as GetFirstProperty. False, with
    // nothing written, when that entry was the last or position denotes no entry.
    bool GetNextProperty(CZRString& name, CZRProperty& property, long& position) const;

    // 256: the version of the entries' properties.
    static int GetDataFormatVersion();

private:
    struct sEntry
    {
        CZRProperty property;
        long nPosition;
    };
    struct sNameOrder
    {
        bool operator()(const CZRString& a, const CZRString& b) const;
    };
    using EntryMap = std::map<CZRString, sEntry, sNameOrder>;

    static constexpr int _m_nDataFormatVersion = 256;
    // Never handed out, so a zeroed position denotes no entry.
    static constexpr long NO_POSITION = 0;

    // The entry of name, created with an empty property when missing.
    CZRProperty& Ensure(const CZRString& name);
    bool Report(EntryMap::const_iterator entry, CZRString& name, CZRProperty& property,
                long& position) const;
    void LoadEntries(CZRDataStream& s);
    void CopyEntries(const CZRPropertyManager& other);

    EntryMap m_entries;
    std::unordered_map<long, EntryMap::iterator> m_positions;
    long m_nLastPosition;
};
