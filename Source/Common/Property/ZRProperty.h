// CZRProperty: the library's variant value.
#pragma once

#include <cstdint>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRString.h"

class CFileIO;
class CZRDataStream;

// The kind of a property's value, one byte. The values are ASCII letters because
// saved data holds them as they stand. Any other byte may end up in the type
// (SetType, loading); it is a kind without value, which copies as
// PROPTYPE_EMPTY and formats as "Unkown Property Type".
enum ePropType : unsigned char
{
    PROPTYPE_EMPTY = 0x2D,    // '-': no value
    PROPTYPE_INT = 0x69,      // 'i'
    PROPTYPE_LONG = 0x6C,     // 'l'
    PROPTYPE_ULONG = 0x4C,    // 'L'
    PROPTYPE_BOOL = 0x62,     // 'b': 0 or 1
    PROPTYPE_FLOAT = 0x66,    // 'f'
    PROPTYPE_STRING = 0x73,   // 's'
    PROPTYPE_STRINGID = 0x53, // 'S': the text of a string resource
};

// One value of one of seven kinds, tagged with its kind, plus an optional printf
// format that controls how AsFormattedString shows it.
//
// Values never convert between kinds: there is one slot per kind family
// (integer, float, text), storing a value writes the type and that one slot, and
// reading a slot of another kind returns what it last held. The integer slot is
// 32-bit, as in every saved layout: a long or unsigned long keeps its low 32
// bits; GetLong sign-extends them, GetUnsignedLong zero-extends them. A
// PROPTYPE_STRINGID keeps the resource id in the integer slot and its loaded
// text in the text slot.
//
// The format changes only through SetFormat and loading from a data stream:
// assignment, Empty and copying carry type and value and never touch it, so a
// copy-constructed property has an empty format.
//
// Persists through a data stream (Serialize: type, value, format) and through a
// CFileIO (Read/Write: type and value). Reports nothing by exception itself;
// reading past the end of a data stream throws the stream's exception and leaves
// what was already loaded (the type first). Not safe for concurrent use of one
// instance.
class ZR_COMMON_API CZRProperty
{
    // Virtual operations are declared in their slot order.
protected:
    virtual int _GetDataFormatVersion() const;

public:
    virtual bool CanSerialize() const;
    virtual ~CZRProperty();
    // Storing: the type as 4 bytes, the value (int, long, unsigned long and a
    // resource id 4 bytes, bool 1 byte, float 4 bytes, text in the stream's
    // string form, nothing for other kinds), then the format. Loading reads the
    // same; a text stored as a resource reference becomes PROPTYPE_STRINGID.
    virtual void Serialize(CZRDataStream& s);

    // Every constructor starts cleared (slots 0, 0.0 and empty, no format).
    CZRProperty();
    CZRProperty(int value);
    CZRProperty(long value);
    CZRProperty(unsigned long value);
    CZRProperty(bool value);
    CZRProperty(float value);
    // A text with a string id becomes PROPTYPE_STRINGID with that id, any other
    // PROPTYPE_STRING; the text slot takes a copy of text and id either way.
    CZRProperty(const CZRString& text);
    // As CZRString assigns it: null is empty text, a value below 0x10000 is a
    // string resource number.
    CZRProperty(const char* text);
    CZRProperty(const CZRStringId& id);
    // Type and value of other; the format stays empty.
    CZRProperty(const CZRProperty& other);

    // As the constructors, without clearing the other slots.
    const CZRProperty& operator=(int value);
    const CZRProperty& operator=(long value);
    const CZRProperty& operator=(unsigned long value);
    const CZRProperty& operator=(bool value);
    const CZRProperty& operator=(float value);
    const CZRProperty& operator=(const CZRString& text);
    const CZRProperty& operator=(const char* text);
    const CZRProperty& operator=(const CZRStringId& id);
    // Type and value of other (a resource text is loaded afresh); the format and
    // the slots of other kinds stay. A source without value leaves the slots and
    // makes this PROPTYPE_EMPTY.
    const CZRProperty& operator=(const CZRProperty& other);

    void Set(int value);
    void Set(long value);
    void Set(unsigned long value);
    void Set(bool value);
    void Set(float value);
    void Set(const CZRString& text);
    void Set(const CZRStringId& id);
    // A C string would silently become a bool; texts are set as CZRString.
    void Set(const char* text) = delete;

    ePropType GetType() const;
    bool IsOfType(ePropType type) const;
    // Writes the type only; the slots stay.
    void SetType(ePropType type);
    // Clears the slots and makes the property PROPTYPE_EMPTY; the format stays.
    void Empty();
    void SetFormat(const CZRString& format);
    const CZRString& GetFormat() const;

    // The integer slot, whatever the type.
    int GetInt() const;
    long GetLong() const;
    unsigned long GetUnsignedLong() const;
    operator int() const;
    operator long() const;
    operator unsigned long() const;
    float GetFloat() const;
    operator float() const;
    // Integer slot != 0.
    bool GetBool() const;
    operator bool() const;
    // The text slot. A PROPTYPE_STRINGID whose text is still empty loads it
    // first, also on a const property.
    const CZRString& GetString() const;
    operator const CZRString&() const;
    // The integer slot as a string id, whatever the type.
    CZRStringId GetStringId() const;
    operator CZRStringId() const;
    operator CZRPath() const;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wclass-conversion"
#endif
    // The property itself; the language never calls this implicitly, callers
    // that need it name it.
    operator CZRProperty&();
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

    // The value through the format, or through the kind's default when the
    // format is empty: "%d" for the integer kinds and bool (0 or 1; an unsigned
    // long of 4294967295 shows as -1), "%.2f" for float, the text itself for
    // texts, "Unkown Property Type" for kinds without value. A format may come
    // from saved data, so it is used only when it holds exactly one conversion
    // that fits the kind's argument (d i u x X o c for the integer kinds and
    // bool, f F e E g G a A for float, s for texts; flags, digit widths and
    // precisions up to 1,023, h/hh/l as fit; "%%" anywhere); any other format
    // gives the default as an empty one does. An 'l' on an integer conversion
    // gets the 32-bit value as a long, as where long is 32 bits. The result is
    // at most 1,023 bytes (CZRString::Format).
    CZRString AsFormattedString() const;

    // The type as a 32-bit integer and the value (integers and resource ids 4
    // bytes, bool 1 byte, float 4 bytes, text in CFileIO's string form); no
    // format. False for a null file or at the first failing write.
    bool Write(CFileIO* file) const;
    // Reads what Write writes, and the older codes 1 (bool as 4 bytes), 2 (int),
    // 3 (long), 4 (float), 5 (text) and 255 (empty). The type is set only once
    // its value was read: a failing read returns false and changes nothing. A
    // code without value (empty, 6 to 31, any unknown code) reads nothing more,
    // changes nothing and returns true. False for a null file.
    bool Read(CFileIO* file);

    // 256 for every property.
    static int GetDataFormatVersion();

private:
    friend class CZRParams;
    friend class CZRPropertyManager;

    static constexpr int _m_nDataFormatVersion = 256;

    // Integer slot 0, float slot 0.0, text slot empty; type and format stay.
    void Reset();
    // The text of the resource in the integer slot into the text slot.
    void ReloadString() const;
    // The text rule: a text with a string id is PROPTYPE_STRINGID, any other
    // PROPTYPE_STRING.
    void SetText(const CZRString& text);
    void SetInteger(ePropType type, std::uint32_t bits);
    // Every field of other, format included: how a container moves an element
    // to new storage, which is no copy in the property's sense.
    void CopyWhole(const CZRProperty& other);

    void StoreValue(CZRDataStream& s) const;
    void LoadValue(CZRDataStream& s);
    bool ReadValue(CFileIO& file, int code);

    CZRString FormatInteger(std::uint32_t bits) const;
    CZRString FormatFloat() const;
    CZRString FormatText() const;

    // A container's record of this property: its Serialize framed with its
    // version (without the frame when the version is the unframed 0xFFFF).
    void SerializeRecord(CZRDataStream& s);
    // The fewest bytes such a record takes: frame, type and an empty format.
    static unsigned long MinimumRecordSize();

    ePropType m_eType;
    std::uint32_t m_nValue;
    float m_fValue;
    mutable CZRString m_strValue; // GetString loads a resource text lazily
    CZRString m_strFormat;
};
