// Fuzz target: CZRPath and FILE_SplitPath on arbitrary path texts. Layout: a
// code page byte (bit 0: Shift-JIS), a length byte and that many bytes for a second path, then a byte of operations
// count, then operations (a byte each, with hostile int arguments from the
// input) applied in turn to the first path, whose text is the rest. After each
// operation the queries are checked for consistency with the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/File/FileFunctions.h"
#include "FuzzInput.h"

namespace
{
constexpr std::size_t kMaxOtherLength = 64;
constexpr int kMaxOperations = 24;

void Fail(const char* what)
{
    std::fprintf(stderr, "path fuzz: %s\n", what);
    std::abort();
}

CZRString Bytes(const std::string& bytes)
{
    CZRString text;
    if (!bytes.empty())
    {
        char* buffer = text.GetBuffer(static_cast<int>(bytes.size()));
        std::memcpy(buffer, bytes.data(), bytes.size());
        text.ReleaseBuffer(static_cast<int>(bytes.size()));
    }
    return text;
}

void SplitPath(const CZRPath& path)
{
    char drive[FILE_MAX_DRIVE], dir[FILE_MAX_DIR], name[FILE_MAX_FNAME], ext[FILE_MAX_EXT];
    FILE_SplitPath(~path, drive, dir, name, ext);
    if (std::strlen(drive) >= FILE_MAX_DRIVE || std::strlen(dir) >= FILE_MAX_DIR ||
        std::strlen(name) >= FILE_MAX_FNAME || std::strlen(ext) >= FILE_MAX_EXT)
        Fail("FILE_SplitPath output not terminated in its buffer");
    FILE_SplitPath(~path, nullptr, dir, nullptr, ext);
    FILE_SplitPath(~path, drive, nullptr, name, nullptr);
}

// What must hold for any path.
void Check(const CZRPath& path)
{
    const long length = path.GetLength();
    const int components = path.GetNumPathComponents();
    if (components < 0 || components > length)
        Fail("component count out of range");
    for (int n = 0; n <= components + 1; ++n)
    {
        const int position = path.GetComponentPosition(n);
        if (position < 0 || position > length)
            Fail("component position out of range");
        path.GetComponent(n, 1);
    }
    const int extension = path.FindExtension();
    if (extension < -1 || extension >= length)
        Fail("extension position out of range");
    CZRString out;
    long pos = 0;
    int steps = 0;
    for (bool more = path.GetFirstComponent(out, pos); more; more = path.GetNextComponent(out, pos))
        if (++steps > length + 1)
            Fail("component iteration does not end");
    if (length > 0 && !path.IsSame(path, 0, false, false))
        Fail("a path is not the same as itself");
    if (path.IsBelow(path) || path.IsAbove(path))
        Fail("a path is below or above itself");
    const int drive = path.GetDriveNumber();
    if (drive < -1 || drive > 25)
        Fail("drive number out of range");
    path.GetExtension();
    path.GetFileName(true);
    path.GetFileName(false);
    path.GetPath();
    path.IsUNC();
    SplitPath(path);
}

void Apply(CZRPath& path, const CZRPath& other, std::uint8_t op, CFuzzInput& in)
{
    switch (op % 22)
    {
    case 0: path.AddTrailingBackslash(); break;
    case 1: path.AddTrailingForwardslash(); break;
    case 2: path.RemoveTrailingBackslash(); break;
    case 3: path.RemoveTrailingForwardslash(); break;
    case 4: path.AddLeadingBackslash(); break;
    case 5: path.AddLeadingForwardslash(); break;
    case 6: path.RemoveLeadingBackslash(); break;
    case 7: path.MakeForwardslashes(); break;
    case 8: path.MakeBackwardslashes(); break;
    case 9: path.Append(other); break;
    case 10: path.AddExtension(other); break;
    case 11: path.RemoveExtension(); break;
    case 12: path.StripPath(); break;
    case 13: path = path.GetPath(); break;
    case 14: path.MakeUpper(); break;
    case 15: path.MakeLower(); break;
    case 16: { const int first = in.Int32(); path.GetComponent(first, in.Int32()); break; }
    case 17: path.GetComponentPosition(in.Int32()); break;
    case 18: { CZRString out; long pos = in.Int32(); path.GetNextComponent(out, pos); break; }
    case 19:
        path.IsSame(other, in.Int32(), in.Bool(), in.Bool());
        path.IsBelowOrSame(other);
        path.IsAboveOrSame(other);
        break;
    case 20: path = CZRPath::BuildRoot(in.Int32()); break;
    default: path.CompareNoCase(~other); break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    STR_SetCodePage((in.Byte() & 1) ? STR_CODEPAGE_SHIFTJIS : STR_CODEPAGE_SINGLEBYTE);
    const CZRPath other(Bytes(in.Text(kMaxOtherLength)));
    const int count = in.Byte() % (kMaxOperations + 1);
    std::string ops = in.Bytes(static_cast<std::size_t>(count));
    std::string args = in.Bytes(static_cast<std::size_t>(count) * 4);
    CZRPath path(Bytes(in.Rest()));
    CFuzzInput argumentInput(reinterpret_cast<const std::uint8_t*>(args.data()), args.size());
    Check(path);
    for (char op : ops)
    {
        Apply(path, other, static_cast<std::uint8_t>(op), argumentInput);
        Check(path);
    }
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    return 0;
}
