#include "Common/Property/ZRProperty.h"

#include "Common/File/FileIO.h"
#include "Common/File/ZRDataStream.h"
#include "Common/Property/PropertyFormat.h"

namespace
{
// Spelt as hosts have always compared it.
const char* const kUnknownTypeText = "Unkown Property Type";
const char* const kIntegerDefaultFormat = "%d";
const char* const kFloatDefaultFormat = "%.2f";

// The data stream stores the type as 4 bytes; its low byte is the type.
constexpr int kTypeByteMask = 0xFF;
// With this property version containers leave out the records' version frame.
constexpr int kUnframedVersion = 0xFFFF;
constexpr unsigned long kWordSize = 4;

// Type codes of older files, understood by Read. Codes 6 to 31 name no kind.
enum : int
{
    OLDCODE_BOOL = 1, // a bool stored as 4 bytes
    OLDCODE_INT = 2,
    OLDCODE_LONG = 3,
    OLDCODE_FLOAT = 4,
    OLDCODE_STRING = 5,
    OLDCODE_EMPTY = 255,
};

// Today's code for an older one; other codes (today's, and the older 6 to 31,
// which match no kind) stay as they are.
int TranslateOlderCode(int code)
{
    switch (code)
    {
    case OLDCODE_INT:
        return PROPTYPE_INT;
    case OLDCODE_LONG:
        return PROPTYPE_LONG;
    case OLDCODE_FLOAT:
        return PROPTYPE_FLOAT;
    case OLDCODE_STRING:
        return PROPTYPE_STRING;
    case OLDCODE_EMPTY:
        return PROPTYPE_EMPTY;
    default:
        return code;
    }
}

std::uint32_t BoolBits(bool value) { return value ? 1u : 0u; }
} // namespace

// Serialisation convention

int CZRProperty::_GetDataFormatVersion() const { return _m_nDataFormatVersion; }
int CZRProperty::GetDataFormatVersion() { return _m_nDataFormatVersion; }
bool CZRProperty::CanSerialize() const { return true; }

// Construction

CZRProperty::CZRProperty() : m_eType(PROPTYPE_EMPTY), m_nValue(0), m_fValue(0.0f) {}
CZRProperty::CZRProperty(int value) : CZRProperty() { Set(value); }
CZRProperty::CZRProperty(long value) : CZRProperty() { Set(value); }
CZRProperty::CZRProperty(unsigned long value) : CZRProperty() { Set(value); }
CZRProperty::CZRProperty(bool value) : CZRProperty() { Set(value); }
CZRProperty::CZRProperty(float value) : CZRProperty() { Set(value); }
CZRProperty::CZRProperty(const CZRString& text) : CZRProperty() { Set(text); }
CZRProperty::CZRProperty(const char* text) : CZRProperty() { Set(CZRString(text)); }
CZRProperty::CZRProperty(const CZRStringId& id) : CZRProperty() { Set(id); }
CZRProperty::CZRProperty(const CZRProperty& other) : CZRProperty() { *this = other; }
CZRProperty::~CZRProperty() = default;

// Storing values

void CZRProperty::Set(int value) { SetInteger(PROPTYPE_INT, static_cast<std::uint32_t>(value)); }
void CZRProperty::Set(long value) { SetInteger(PROPTYPE_LONG, static_cast<std::uint32_t>(value)); }
void CZRProperty::Set(unsigned long value)
{
    SetInteger(PROPTYPE_ULONG, static_cast<std::uint32_t>(value));
}
void CZRProperty::Set(bool value) { SetInteger(PROPTYPE_BOOL, BoolBits(value)); }

void CZRProperty::Set(float value)
{
    m_eType = PROPTYPE_FLOAT;
    m_fValue = value;
}

void CZRProperty::Set(const CZRString& text) { SetText(text); }

void CZRProperty::Set(const CZRStringId& id)
{
    SetInteger(PROPTYPE_STRINGID, static_cast<std::uint32_t>(id.GetId()));
    ReloadString();
}

const CZRProperty& CZRProperty::operator=(int value) { Set(value); return *this; }
const CZRProperty& CZRProperty::operator=(long value) { Set(value); return *this; }
const CZRProperty& CZRProperty::operator=(unsigned long value) { Set(value); return *this; }
const CZRProperty& CZRProperty::operator=(bool value) { Set(value); return *this; }
const CZRProperty& CZRProperty::operator=(float value) { Set(value); return *this; }
const CZRProperty& CZRProperty::operator=(const CZRString& text) { Set(text); return *this; }
const CZRProperty& CZRProperty::operator=(const char* text) { Set(CZRString(text)); return *this; }
const CZRProperty& CZRProperty::operator=(const CZRStringId& id) { Set(id); return *this; }

// The source's type decides; only that kind's slot is copied.
const CZRProperty& CZRProperty::operator=(const CZRProperty& other)
{
    switch (other.m_eType)
    {
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
        SetInteger(other.m_eType, other.m_nValue);
        break;
    case PROPTYPE_BOOL:
        Set(other.GetBool());
        break;
    case PROPTYPE_FLOAT:
        Set(other.m_fValue);
        break;
    case PROPTYPE_STRINGID:
        Set(other.GetStringId());
        break;
    case PROPTYPE_STRING:
        SetText(other.GetString());
        break;
    default:
        m_eType = PROPTYPE_EMPTY;
        break;
    }
    return *this;
}

void CZRProperty::SetInteger(ePropType type, std::uint32_t bits)
{
    m_eType = type;
    m_nValue = bits;
}

void CZRProperty::CopyWhole(const CZRProperty& other)
{
    m_eType = other.m_eType;
    m_nValue = other.m_nValue;
    m_fValue = other.m_fValue;
    m_strValue = other.m_strValue;
    m_strFormat = other.m_strFormat;
}

// HasStringId is read before the assignment, which may copy text onto itself.
void CZRProperty::SetText(const CZRString& text)
{
    if (text.HasStringId())
        SetInteger(PROPTYPE_STRINGID, static_cast<std::uint32_t>(text.GetStringId()));
    else
        m_eType = PROPTYPE_STRING;
    m_strValue = text;
}

// Type and state

ePropType CZRProperty::GetType() const { return m_eType; }
bool CZRProperty::IsOfType(ePropType type) const { return m_eType == type; }
void CZRProperty::SetType(ePropType type) { m_eType = type; }

void CZRProperty::Empty()
{
    Reset();
    m_eType = PROPTYPE_EMPTY;
}

// The text slot is assigned a fresh empty text, which also drops its string id.
void CZRProperty::Reset()
{
    m_nValue = 0;
    m_fValue = 0.0f;
    m_strValue = CZRString();
}

void CZRProperty::ReloadString() const { m_strValue.LoadStringResource(GetLong()); }

void CZRProperty::SetFormat(const CZRString& format) { m_strFormat = format; }
const CZRString& CZRProperty::GetFormat() const { return m_strFormat; }

// Reading values

int CZRProperty::GetInt() const { return static_cast<std::int32_t>(m_nValue); }
long CZRProperty::GetLong() const { return static_cast<std::int32_t>(m_nValue); }
unsigned long CZRProperty::GetUnsignedLong() const { return m_nValue; }
CZRProperty::operator int() const { return GetInt(); }
CZRProperty::operator long() const { return GetLong(); }
CZRProperty::operator unsigned long() const { return GetUnsignedLong(); }
float CZRProperty::GetFloat() const { return m_fValue; }
CZRProperty::operator float() const { return m_fValue; }
bool CZRProperty::GetBool() const { return m_nValue != 0; }
CZRProperty::operator bool() const { return GetBool(); }

const CZRString& CZRProperty::GetString() const
{
    if (m_eType == PROPTYPE_STRINGID && m_strValue.GetLength() == 0)
        ReloadString();
    return m_strValue;
}

CZRProperty::operator const CZRString&() const { return GetString(); }
CZRStringId CZRProperty::GetStringId() const { return CZRStringId(GetLong()); }
CZRProperty::operator CZRStringId() const { return GetStringId(); }
CZRProperty::operator CZRPath() const { return CZRPath(GetString()); }
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wclass-conversion"
#endif
CZRProperty::operator CZRProperty&() { return *this; }
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Formatting

CZRString CZRProperty::AsFormattedString() const
{
    switch (m_eType)
    {
    case PROPTYPE_BOOL:
        return FormatInteger(BoolBits(GetBool()));
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
        return FormatInteger(m_nValue);
    case PROPTYPE_FLOAT:
        return FormatFloat();
    case PROPTYPE_STRING:
    case PROPTYPE_STRINGID:
        return FormatText();
    default:
        return CZRString(kUnknownTypeText);
    }
}

// An 'l' conversion gets a long as a 32-bit long would hold the value: signed
// conversions sign-extend, unsigned ones zero-extend.
CZRString CZRProperty::FormatInteger(std::uint32_t bits) const
{
    const int value = static_cast<std::int32_t>(bits);
    sPropertyConversion conversion{};
    CZRString result;
    if (!ParsePropertyFormat(m_strFormat.GetString(), ePropertyArgument::Integer, conversion))
        result.Format(kIntegerDefaultFormat, value);
    else if (!conversion.bLong)
        result.Format(m_strFormat.GetString(), value);
    else if (IsSignedConversion(conversion))
        result.Format(m_strFormat.GetString(), static_cast<long>(value));
    else
        result.Format(m_strFormat.GetString(), static_cast<unsigned long>(bits));
    return result;
}

CZRString CZRProperty::FormatFloat() const
{
    sPropertyConversion conversion{};
    const bool custom =
        ParsePropertyFormat(m_strFormat.GetString(), ePropertyArgument::Float, conversion);
    CZRString result;
    result.Format(custom ? m_strFormat.GetString() : kFloatDefaultFormat,
                  static_cast<double>(m_fValue));
    return result;
}

CZRString CZRProperty::FormatText() const
{
    const CZRString& text = GetString();
    sPropertyConversion conversion{};
    if (!ParsePropertyFormat(m_strFormat.GetString(), ePropertyArgument::Text, conversion))
        return text;
    CZRString result;
    result.Format(m_strFormat.GetString(), text.GetString() != nullptr ? text.GetString() : "");
    return result;
}

// Data stream

void CZRProperty::Serialize(CZRDataStream& s)
{
    if (s.IsStoring())
    {
        s.Put(static_cast<int>(m_eType));
        StoreValue(s);
        s.Put(m_strFormat);
        return;
    }
    int code = 0;
    s.Get(code);
    SetType(static_cast<ePropType>(code & kTypeByteMask));
    LoadValue(s);
    CZRString format;
    s.Get(format);
    m_strFormat = format;
}

void CZRProperty::StoreValue(CZRDataStream& s) const
{
    switch (m_eType)
    {
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
    case PROPTYPE_STRINGID:
        s.Put(GetInt());
        break;
    case PROPTYPE_BOOL:
        s.Put(GetBool());
        break;
    case PROPTYPE_FLOAT:
        s.Put(m_fValue);
        break;
    case PROPTYPE_STRING:
        s.Put(GetString());
        break;
    default:
        break;
    }
}

// The type is already set. A bool keeps its byte as stored.
void CZRProperty::LoadValue(CZRDataStream& s)
{
    int value = 0;
    unsigned char byte = 0;
    CZRString text;
    switch (m_eType)
    {
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
        s.Get(value);
        m_nValue = static_cast<std::uint32_t>(value);
        break;
    case PROPTYPE_STRINGID:
        s.Get(value);
        m_nValue = static_cast<std::uint32_t>(value);
        ReloadString();
        break;
    case PROPTYPE_BOOL:
        s.Get(&byte, sizeof byte);
        m_nValue = byte;
        break;
    case PROPTYPE_FLOAT:
        s.Get(m_fValue);
        break;
    case PROPTYPE_STRING:
        s.Get(text);
        SetText(text);
        break;
    default:
        break;
    }
}

void CZRProperty::SerializeRecord(CZRDataStream& s)
{
    const bool framed = GetDataFormatVersion() != kUnframedVersion;
    if (framed)
        s.SerializeBegin(_GetDataFormatVersion());
    Serialize(s);
    if (framed)
        s.SerializeEnd();
}

// Frame, type word and the length word of an empty format.
unsigned long CZRProperty::MinimumRecordSize()
{
    const unsigned long frame = GetDataFormatVersion() != kUnframedVersion ? kWordSize : 0;
    return frame + 2 * kWordSize;
}

// CFileIO

bool CZRProperty::Write(CFileIO* file) const
{
    if (file == nullptr || !file->Write(static_cast<int>(m_eType)))
        return false;
    switch (m_eType)
    {
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
    case PROPTYPE_STRINGID:
        return file->Write(GetInt());
    case PROPTYPE_BOOL:
        return file->Write(GetBool());
    case PROPTYPE_FLOAT:
        return file->Write(m_fValue);
    case PROPTYPE_STRING:
        return file->Write(GetString());
    default:
        return true;
    }
}

bool CZRProperty::Read(CFileIO* file)
{
    int code = 0;
    if (file == nullptr || !file->Read(code))
        return false;
    if (code != OLDCODE_BOOL)
        return ReadValue(*file, TranslateOlderCode(code));
    int value = 0;
    if (!file->Read(value))
        return false;
    Set(value != 0);
    return true;
}

// Each value is read into a local first, so a failing read changes nothing.
bool CZRProperty::ReadValue(CFileIO& file, int code)
{
    int value = 0;
    char byte = 0;
    float real = 0.0f;
    CZRString text;
    switch (code)
    {
    case PROPTYPE_INT:
    case PROPTYPE_LONG:
    case PROPTYPE_ULONG:
        if (!file.Read(value))
            return false;
        SetInteger(static_cast<ePropType>(code), static_cast<std::uint32_t>(value));
        return true;
    case PROPTYPE_STRINGID:
        if (!file.Read(value))
            return false;
        Set(CZRStringId(value));
        return true;
    case PROPTYPE_BOOL:
        if (!file.Read(byte))
            return false;
        SetInteger(PROPTYPE_BOOL, static_cast<unsigned char>(byte));
        return true;
    case PROPTYPE_FLOAT:
        if (!file.Read(real))
            return false;
        Set(real);
        return true;
    case PROPTYPE_STRING:
        if (!file.Read(text))
            return false;
        SetText(text);
        return true;
    default:
        return true;
    }
}
