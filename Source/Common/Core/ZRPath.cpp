#include "Common/Core/ZRPath.h"

#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"

namespace
{
constexpr char kBackslash = '\\';
constexpr char kForwardslash = '/';
constexpr char kDot = '.';
constexpr char kDriveColon = ':';
constexpr const char kSeparators[] = "\\/";
// "C:" and the two backslashes of "\\server".
constexpr long kDrivePrefixLength = 2;
constexpr long kUncPrefixLength = 2;
} // namespace

CZRPath::CZRPath() = default;

CZRPath::CZRPath(const char* text) { m_strPath = text; }

CZRPath::CZRPath(const CZRString& text) { m_strPath = text; }

CZRPath::CZRPath(const CZRPath& other) { m_strPath = other.m_strPath; }

CZRPath::~CZRPath() = default;

const CZRPath& CZRPath::operator=(const CZRPath& other)
{
    m_strPath = other.m_strPath;
    return *this;
}

const CZRPath& CZRPath::operator=(const CZRString& text)
{
    m_strPath = text;
    return *this;
}

const CZRPath& CZRPath::operator=(const char* text)
{
    m_strPath = text;
    return *this;
}

const CZRPath& CZRPath::operator+=(const CZRPath& other)
{
    Append(other);
    return *this;
}

CZRPath::operator const CZRString&() const { return m_strPath; }

const char* CZRPath::operator~() const { return m_strPath.GetString(); }

long CZRPath::GetLength() const { return m_strPath.GetLength(); }

bool CZRPath::IsEmpty() const { return m_strPath.IsEmpty(); }

void CZRPath::Empty() { m_strPath.Empty(); }

int CZRPath::CompareNoCase(const char* text) const { return m_strPath.CompareNoCase(text); }

void CZRPath::MakeUpper() { m_strPath.MakeUpper(); }

void CZRPath::MakeLower() { m_strPath.MakeLower(); }

void CZRPath::MakePretty() { MakeLower(); }

void CZRPath::CompactPath(const CZRPath& /*reference*/, unsigned int /*width*/) {}

// Single characters

bool CZRPath::IsSlash(char c) { return c == kBackslash || c == kForwardslash; }

bool CZRPath::IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Ends of the path

bool CZRPath::HasLeadingBackslash() const { return FirstCharacter() == kBackslash; }

bool CZRPath::HasLeadingForwardslash() const { return FirstCharacter() == kForwardslash; }

bool CZRPath::HasLeadingSlash() const { return IsSlash(FirstCharacter()); }

bool CZRPath::HasTrailingBackslash() const { return LastCharacter() == kBackslash; }

bool CZRPath::HasTrailingForwardslash() const { return LastCharacter() == kForwardslash; }

bool CZRPath::HasTrailingSlash() const { return IsSlash(LastCharacter()); }

void CZRPath::AddTrailingBackslash()
{
    if (!HasTrailingBackslash())
        m_strPath += kBackslash;
}

void CZRPath::AddTrailingForwardslash()
{
    if (!HasTrailingForwardslash())
        m_strPath += kForwardslash;
}

void CZRPath::RemoveTrailingBackslash()
{
    if (HasTrailingBackslash())
        m_strPath = m_strPath.Left(static_cast<int>(GetLength()) - 1);
}

void CZRPath::RemoveTrailingForwardslash()
{
    if (HasTrailingForwardslash())
        m_strPath = m_strPath.Left(static_cast<int>(GetLength()) - 1);
}

void CZRPath::AddLeadingBackslash()
{
    if (!HasLeadingBackslash())
        m_strPath = kBackslash + m_strPath;
}

void CZRPath::AddLeadingForwardslash()
{
    if (!HasLeadingForwardslash())
        m_strPath = kForwardslash + m_strPath;
}

void CZRPath::RemoveLeadingBackslash()
{
    if (HasLeadingBackslash())
        m_strPath = m_strPath.Mid(1);
}

int CZRPath::MakeForwardslashes() { return m_strPath.Replace(kBackslash, kForwardslash); }

int CZRPath::MakeBackwardslashes() { return m_strPath.Replace(kForwardslash, kBackslash); }

// Copies other's text first, so that a path may be appended to itself.
void CZRPath::Append(const CZRPath& other)
{
    const CZRString tail = other.m_strPath;
    if (!IsEmpty() && !HasTrailingSlash())
        AddTrailingBackslash();
    m_strPath += tail;
}

// Drives and roots

int CZRPath::GetDriveNumber() const
{
    if (GetLength() < kDrivePrefixLength || Text()[1] != kDriveColon || !IsDriveLetter(Text()[0]))
        return NO_DRIVE;
    const char letter = Text()[0];
    return letter >= 'a' ? letter - 'a' : letter - 'A';
}

CZRPath CZRPath::BuildRoot(int drive)
{
    if (drive < 0 || drive >= DRIVE_COUNT)
        return CZRPath();
    const char root[] = {static_cast<char>('A' + drive), kDriveColon, kBackslash, '\0'};
    return CZRPath(root);
}

bool CZRPath::IsUNC() const
{
    return GetLength() >= kUncPrefixLength && Text()[0] == kBackslash && Text()[1] == kBackslash;
}

// Extensions and names

int CZRPath::FindExtension() const
{
    const int dot = m_strPath.ReverseFind(kDot);
    return dot > LastComponentPosition() ? dot : -1;
}

CZRString CZRPath::GetExtension() const
{
    const int dot = FindExtension();
    return dot < 0 ? CZRString() : m_strPath.Mid(dot);
}

void CZRPath::AddExtension(const CZRString& ext) { m_strPath += ext; }

void CZRPath::RemoveExtension()
{
    const int dot = FindExtension();
    if (dot >= 0)
        m_strPath = m_strPath.Left(dot);
}

CZRString CZRPath::GetFileName(bool withExtension) const
{
    CZRPath name(m_strPath.Mid(LastComponentPosition()));
    if (name.HasTrailingSlash())
        name.m_strPath = name.m_strPath.Left(static_cast<int>(name.GetLength()) - 1);
    const int dot = name.m_strPath.ReverseFind(kDot);
    if (!withExtension && dot >= 0)
        name.m_strPath = name.m_strPath.Left(dot);
    return name.m_strPath;
}

CZRPath CZRPath::GetPath() const
{
    const int separator = m_strPath.ReverseFindOneOf(kSeparators);
    return separator < 0 ? CZRPath() : CZRPath(m_strPath.Left(separator));
}

void CZRPath::StripPath()
{
    const int separator = m_strPath.ReverseFindOneOf(kSeparators);
    if (separator >= 0)
        m_strPath = m_strPath.Mid(separator + 1);
}

// Components

int CZRPath::GetNumPathComponents() const
{
    if (IsEmpty())
        return 0;
    return CountSeparators() + (HasTrailingSlash() ? 0 : 1);
}

int CZRPath::GetComponentPosition(int n) const
{
    if (n <= 0)
        return HasLeadingSlash() ? 1 : 0;
    const int separator = SeparatorPosition(n);
    return separator < 0 ? 0 : separator + 1;
}

CZRString CZRPath::GetComponent(int first, int count) const
{
    if (count <= 0)
        return CZRString();
    const int start = GetComponentPosition(first);
    const int separator = SeparatorPosition(static_cast<long>(first) + count);
    const int end = separator < 0 ? static_cast<int>(GetLength()) : separator;
    return end > start ? m_strPath.Mid(start, end - start) : CZRString();
}

bool CZRPath::GetFirstComponent(CZRString& out, long& pos) const
{
    pos = 0;
    return GetNextComponent(out, pos);
}

// The first character is passed over before looking for a separator, so a
// component that begins at a separator ends at the next one.
bool CZRPath::GetNextComponent(CZRString& out, long& pos) const
{
    const long length = GetLength();
    if (pos < 0 || pos >= length)
        return false;
    const char* text = Text();
    long start = pos;
    const char* p = STR_strinc(text + start);
    while (p < text + length && !IsSlash(*p))
        p = STR_strinc(p);
    pos = static_cast<long>(p - text);
    if (IsSlash(text[start]))
        ++start;
    out = m_strPath.Mid(static_cast<int>(start), static_cast<int>(pos - start));
    return true;
}

// Comparison

bool CZRPath::IsSame(const CZRPath& other, int /*unused*/, bool ignoreLeadingSlash,
                     bool ignoreTrailingSlash) const
{
    const int count = GetNumPathComponents();
    if (count != other.GetNumPathComponents())
        return false;
    if (!ignoreTrailingSlash && HasTrailingSlash() != other.HasTrailingSlash())
        return false;
    if (!ignoreLeadingSlash && HasLeadingSlash() != other.HasLeadingSlash())
        return false;
    return LeadingComponentsEqual(other, count);
}

bool CZRPath::IsBelow(const CZRPath& other) const
{
    const int count = GetNumPathComponents();
    return count < other.GetNumPathComponents() && LeadingComponentsEqual(other, count);
}

bool CZRPath::IsAbove(const CZRPath& other) const
{
    const int otherCount = other.GetNumPathComponents();
    return GetNumPathComponents() > otherCount && LeadingComponentsEqual(other, otherCount);
}

bool CZRPath::IsBelowOrSame(const CZRPath& other) const
{
    return IsBelow(other) || IsSame(other, 0, true, true);
}

bool CZRPath::IsAboveOrSame(const CZRPath& other) const
{
    return IsAbove(other) || IsSame(other, 0, true, true);
}

// File attributes

unsigned long CZRPath::GetPathAttributes(const CZRString& path)
{
    return FILE_GetFileAttributes(path.GetString());
}

unsigned long CZRPath::GetAttributes() const { return GetPathAttributes(m_strPath); }

// Helpers

const char* CZRPath::Text() const
{
    const char* text = m_strPath.GetString();
    return text != nullptr ? text : "";
}

char CZRPath::FirstCharacter() const { return IsEmpty() ? '\0' : Text()[0]; }

// The last character when it is a single byte; '\0' for an empty path or a
// double-byte last character (whose trail byte may look like a separator).
char CZRPath::LastCharacter() const
{
    if (IsEmpty())
        return '\0';
    const char* end = Text() + GetLength();
    const char* last = STR_strdec(Text(), end);
    return end - last == 1 ? *last : '\0';
}

// Position of the n-th separator (n >= 1) after position 0; -1 when there are fewer.
int CZRPath::SeparatorPosition(long n) const
{
    const char* text = Text();
    const char* end = text + GetLength();
    long found = 0;
    for (const char* p = text; p < end; p = STR_strinc(p))
        if (p > text && IsSlash(*p) && ++found == n)
            return static_cast<int>(p - text);
    return -1;
}

int CZRPath::CountSeparators() const
{
    const char* text = Text();
    const char* end = text + GetLength();
    int found = 0;
    for (const char* p = text; p < end; p = STR_strinc(p))
        if (p > text && IsSlash(*p))
            ++found;
    return found;
}

int CZRPath::LastComponentPosition() const
{
    return GetComponentPosition(GetNumPathComponents() - 1);
}

// Compares GetComponent(0, k) of both paths for k = 1 to count, ignoring case.
bool CZRPath::LeadingComponentsEqual(const CZRPath& other, int count) const
{
    for (int k = 1; k <= count; ++k)
    {
        CZRString mine = GetComponent(0, k);
        CZRString theirs = other.GetComponent(0, k);
        mine.MakeLower();
        theirs.MakeLower();
        if (mine.Compare(theirs.GetString()) != 0)
            return false;
    }
    return true;
}
