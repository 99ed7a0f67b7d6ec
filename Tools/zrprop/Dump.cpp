// zrprop dump: walks the two layouts entry by entry with the library's own
// readers (CZRDataStream, CFileIO, CZRProperty), so that what it shows is what
// the library loads, and a fault is reported with the entry it hit.
#include "Dump.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/File/FileIO.h"
#include "Common/File/ZRDataStream.h"
#include "Common/Property/ZRProperty.h"
#include "ToolCli.h"

namespace
{
constexpr unsigned char kParamsMarker = 0x76;    // 'v'
constexpr unsigned char kManagerMarker = 0x6D;   // 'm'
constexpr unsigned long kMarkerSize = 1;
// Saved property sets are small; a larger file is refused before anything is
// allocated for it.
constexpr unsigned long kMaxFileSize = 64ul << 20;

struct sLine
{
    std::string key;
    std::string kind;
    std::string value;
    std::string format;
};

// A text for printing; a string that never held text shows as empty.
std::string Shown(const CZRString& text)
{
    const char* bytes = text.GetString();
    return Printable(bytes != nullptr ? bytes : "");
}

std::string KindName(ePropType type)
{
    switch (type)
    {
    case PROPTYPE_EMPTY: return "empty";
    case PROPTYPE_INT: return "int";
    case PROPTYPE_LONG: return "long";
    case PROPTYPE_ULONG: return "ulong";
    case PROPTYPE_BOOL: return "bool";
    case PROPTYPE_FLOAT: return "float";
    case PROPTYPE_STRING: return "string";
    case PROPTYPE_STRINGID: return "stringid";
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(type));
    return std::string("unknown ") + code;
}

sLine Describe(const std::string& key, const CZRProperty& property)
{
    const bool hasValue = !property.IsOfType(PROPTYPE_EMPTY);
    std::string value = hasValue ? Shown(property.AsFormattedString()) : "";
    if (property.IsOfType(PROPTYPE_STRINGID))
        value = "#" + std::to_string(property.GetStringId().GetId()) + " " + value;
    const CZRString& format = property.GetFormat();
    return sLine{key, KindName(property.GetType()), value,
                 format.IsEmpty() ? "" : "\"" + Shown(format) + "\""};
}

// Columns as wide as their widest cell; the last one only where an entry has a format.
void Print(const std::vector<sLine>& lines)
{
    std::size_t key = 0, kind = 0, value = 0;
    for (const sLine& line : lines)
    {
        key = std::max(key, line.key.size());
        kind = std::max(kind, line.kind.size());
        value = std::max(value, line.value.size());
    }
    for (const sLine& line : lines)
    {
        std::string text = line.key + std::string(key - line.key.size() + 2, ' ') + line.kind;
        if (!line.value.empty() || !line.format.empty())
            text += std::string(kind - line.kind.size() + 2, ' ') + line.value;
        if (!line.format.empty())
            text += std::string(value - line.value.size() + 2, ' ') + "format " + line.format;
        std::printf("%s\n", text.c_str());
    }
    std::fflush(stdout);
}

std::string Describe(const CZRException& error)
{
    return std::string(error.GetErrorString()) + " (" + std::to_string(error.GetErrorCode()) + ")";
}

// The whole file through the library's file object; false with a problem text.
bool ReadWhole(const std::string& path, std::vector<unsigned char>& bytes, std::string& problem)
{
    try
    {
        CFileIO file;
        file.Open(path.c_str(), FILEMODE_READ);
        const unsigned long size = file.GetSize();
        if (size > kMaxFileSize)
        {
            problem = "too large: " + std::to_string(size) + " bytes (at most " + std::to_string(kMaxFileSize) + ")";
            return false;
        }
        bytes.resize(size);
        if (!bytes.empty() && !file.Read(bytes.data(), static_cast<unsigned long>(bytes.size())))
        {
            problem = "cannot read the file";
            return false;
        }
        return true;
    }
    catch (const CZRException& error)
    {
        problem = "cannot open the file: " + Describe(error);
        return false;
    }
}

// One entry of either container: an optional name, then the property framed
// by its version words.
void LoadEntry(CZRDataStream& stream, bool named, long index, std::vector<sLine>& lines)
{
    CZRString name;
    if (named)
        stream.Get(name);
    CZRProperty property;
    stream.SerializeBegin(-1);
    property.Serialize(stream);
    stream.SerializeEnd();
    const std::string key = named ? "\"" + Shown(name) + "\""
                                  : "[" + std::to_string(index) + "]";
    lines.push_back(Describe(key, property));
}
} // namespace

int DumpDataStream(const std::string& path)
{
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!ReadWhole(path, bytes, problem))
        return Fail(path, problem);
    if (bytes.empty() || (bytes[0] != kParamsMarker && bytes[0] != kManagerMarker))
    {
        char found[32];
        std::snprintf(found, sizeof found, bytes.empty() ? "empty file" : "first byte 0x%02X",
                      bytes.empty() ? 0u : unsigned(bytes[0]));
        return Fail(path, std::string("neither a property set nor a parameter list (") + found + ")");
    }
    const bool named = bytes[0] == kManagerMarker;
    CZRDataStream stream(bytes.data(), static_cast<unsigned long>(bytes.size()));
    std::vector<sLine> lines;
    long count = 0;
    long index = -1;
    try
    {
        stream.Advance(kMarkerSize);
        stream.Get(count);
        for (index = 0; index < count; ++index)
            LoadEntry(stream, named, index, lines);
    }
    catch (const CZRException& error)
    {
        Print(lines);
        const std::string where = index < 0 ? "the entry count" : "entry " + std::to_string(index + 1) +
                                                                     " of " + std::to_string(count);
        return Fail(path, "damaged at offset " + std::to_string(stream.GetStreamPosition()) + ", " +
                              where + ": " + Describe(error));
    }
    Print(lines);
    if (count < 0)
        return Fail(path, "damaged: negative entry count " + std::to_string(count));
    if (stream.GetStreamPosition() != bytes.size())
        Report(path + ": warning: " + std::to_string(bytes.size() - stream.GetStreamPosition()) +
               " bytes after the data");
    return kExitOk;
}

int DumpFileLayout(const std::string& path)
{
    CFileIO file;
    try
    {
        file.Open(path.c_str(), FILEMODE_READ);
    }
    catch (const CZRException& error)
    {
        return Fail(path, "cannot open the file: " + Describe(error));
    }
    std::vector<sLine> lines;
    int count = 0;
    if (!file.Read(count))
        return Fail(path, "damaged: no entry count");
    for (int index = 0; index < count; ++index)
    {
        const unsigned long offset = file.GetFilePointerPos();
        CZRString name;
        CZRProperty property;
        if (!file.Read(name) || !property.Read(&file))
        {
            Print(lines);
            return Fail(path, "damaged at offset " + std::to_string(offset) + ", entry " +
                                  std::to_string(index + 1) + " of " + std::to_string(count) +
                                  ": the entry runs past the end of the file");
        }
        lines.push_back(Describe("\"" + Shown(name) + "\"", property));
    }
    Print(lines);
    if (count < 0)
        return Fail(path, "damaged: negative entry count " + std::to_string(count));
    if (!file.IsEof())
        Report(path + ": warning: " + std::to_string(file.GetSize() - file.GetFilePointerPos()) +
               " bytes after the data");
    return kExitOk;
}
