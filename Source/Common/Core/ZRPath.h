// CZRPath: a file-system path held as text, with the operations to take it apart
// and compare it.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

// Both '\' and '/' separate components; which one a path uses stays as written
// unless converted. Nothing resolves "." or ".." or touches the file system,
// except the attribute queries. Every operation accepts an empty path (with or
// without a buffer): its ends hold no character, it has no components and no
// drive, and searches in it find nothing. Positions are byte positions; scans
// step by characters, so a double-byte character is never taken apart.
//
// Components: a separator at position 0 belongs to no component, every other
// separator ends one, and a trailing separator does not start another. Thus
// "C:\dir\file.txt" has "C:", "dir", "file.txt"; "\dir\" has "dir";
// "\\server\share" has "", "server", "share"; "a\\b" has "a", "", "b".
// Comparisons ignore case and compare the text of whole leading runs of
// components, separators included: "a\b" and "a/b" are different paths.
class ZR_COMMON_API CZRPath
{
public:
    static constexpr int DRIVE_COUNT = 26;
    static constexpr int NO_DRIVE = -1;

    CZRPath();
    // Assigned as CZRString assigns: a pointer below 0x10000 is a string id.
    CZRPath(const char* text);
    CZRPath(const CZRString& text);
    CZRPath(const CZRPath& other);
    virtual ~CZRPath();

    const CZRPath& operator=(const CZRPath& other);
    const CZRPath& operator=(const CZRString& text);
    const CZRPath& operator=(const char* text);
    // Append(other).
    const CZRPath& operator+=(const CZRPath& other);

    operator const CZRString&() const;
    // The text's buffer; null for a path that never held text.
    const char* operator~() const;
    long GetLength() const;
    bool IsEmpty() const;
    void Empty();
    // STR_stricmp of the text and text; a missing buffer or null counts as "".
    int CompareNoCase(const char* text) const;
    void MakeUpper();
    void MakeLower();
    // Same as MakeLower.
    void MakePretty();
    // Accepted for compatibility; leaves the path unchanged.
    void CompactPath(const CZRPath& reference, unsigned int width);

    static bool IsSlash(char c);
    static bool IsDriveLetter(char c);

    bool HasLeadingBackslash() const;
    bool HasLeadingForwardslash() const;
    bool HasLeadingSlash() const;
    bool HasTrailingBackslash() const;
    bool HasTrailingForwardslash() const;
    bool HasTrailingSlash() const;
    // Append the separator unless the path already ends with that same one.
    void AddTrailingBackslash();
    void AddTrailingForwardslash();
    // Remove one last character if it is that separator.
    void RemoveTrailingBackslash();
    void RemoveTrailingForwardslash();
    // Prepend the separator unless the path already begins with that same one.
    void AddLeadingBackslash();
    void AddLeadingForwardslash();
    // Removes one first character if it is '\'.
    void RemoveLeadingBackslash();
    // Convert every separator; return the number converted.
    int MakeForwardslashes();
    int MakeBackwardslashes();
    // Adds '\' to a non-empty path without a trailing separator, then other's
    // text unchanged: "a" + "\b" gives "a\\b", "a/" + "b" gives "a/b".
    void Append(const CZRPath& other);

    // 0 for a drive 'A:' up to 25 for 'Z:' (either case); NO_DRIVE otherwise.
    int GetDriveNumber() const;
    // "X:\" for drive 0 to 25, otherwise an empty path.
    static CZRPath BuildRoot(int drive);
    // Begins with two backslashes.
    bool IsUNC() const;

    // Position of the last '.' when it lies inside the last component after its
    // first character; -1 otherwise.
    int FindExtension() const;
    // From the dot to the end; empty without an extension.
    CZRString GetExtension() const;
    // Appends ext unchanged (it includes the dot).
    void AddExtension(const CZRString& ext);
    void RemoveExtension();
    // The last component up to the end, without one trailing separator; without
    // extension it is cut at its last '.'.
    CZRString GetFileName(bool withExtension) const;
    // The text before the last separator; empty without a separator.
    CZRPath GetPath() const;
    // Keeps the text after the last separator; nothing without a separator.
    void StripPath();

    int GetNumPathComponents() const;
    // Start of component n; 0 when there are fewer than n separators after position 0.
    int GetComponentPosition(int n) const;
    // count components from first on, with the separators between them; the
    // whole text when first lies beyond the last separator.
    CZRString GetComponent(int first, int count) const;
    // Iterate components: pos = 0 first; each call leaves pos on the separator
    // after the component delivered. A trailing separator yields a last, empty
    // component. False (out unchanged) once pos reaches the end.
    bool GetFirstComponent(CZRString& out, long& pos) const;
    bool GetNextComponent(CZRString& out, long& pos) const;

    // Same number of components with equal texts; the slash tests must agree
    // unless ignored. The int argument has no effect.
    bool IsSame(const CZRPath& other, int unused, bool ignoreLeadingSlash,
                bool ignoreTrailingSlash) const;
    // This path is a proper ancestor of other.
    bool IsBelow(const CZRPath& other) const;
    // This path lies inside other.
    bool IsAbove(const CZRPath& other) const;
    // Or IsSame with both slash tests ignored.
    bool IsBelowOrSame(const CZRPath& other) const;
    bool IsAboveOrSame(const CZRPath& other) const;

    // FILE_ATTR_ flags of path; 0xFFFFFFFF when it does not exist.
    static unsigned long GetPathAttributes(const CZRString& path);
    unsigned long GetAttributes() const;

private:
    const char* Text() const;
    char FirstCharacter() const;
    char LastCharacter() const;
    int SeparatorPosition(long n) const;
    int CountSeparators() const;
    int LastComponentPosition() const;
    bool LeadingComponentsEqual(const CZRPath& other, int count) const;

    CZRString m_strPath;
};
