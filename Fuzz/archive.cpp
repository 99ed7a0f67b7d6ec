// Fuzz target: archives from arbitrary bytes. The input is written as «In.arc»
// into a scratch directory, then listed and verified (CZRArchiveReader),
// registered and read entry by entry through the extended file system, and
// extracted into a target directory. Besides the sanitizers it checks that
// an entry never reads more than its size, that extraction writes nothing
// outside the target directory, and that no stream of the FILE_ layer is left
// open.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveReader.h"
#include "Common/Platform/PlatformSeam.h"

namespace fs = std::filesystem;

namespace
{
constexpr const char* kArchiveName = "In.arc";
constexpr const char* kArchivePrefix = "In\\";
// Entries opened per input; enough for every seed, bounded for speed.
constexpr std::size_t kMaxEntriesOpened = 64;
constexpr unsigned long kReadChunk = 4096;

struct sScratch
{
    fs::path root;  // everything the target writes lies below
    fs::path work;  // the current directory: the archive
    fs::path out;   // the extraction target
};

const sScratch& Scratch()
{
    static const sScratch scratch = [] {
        std::random_device random;
        sScratch s;
        s.root = fs::temp_directory_path() / ("zr-fuzz-archive-" + std::to_string(random()));
        s.work = s.root / "work";
        s.out = s.root / "out";
        return s;
    }();
    return scratch;
}

void Fail(const char* what, const fs::path& path)
{
    std::fprintf(stderr, "archive fuzz: %s: %s\n", what, path.c_str());
    std::abort();
}

void PrepareScratch(const std::uint8_t* data, std::size_t size)
{
    const sScratch& s = Scratch();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(s.root);
    fs::create_directories(s.work);
    fs::create_directories(s.out);
    std::ofstream(s.work / kArchiveName, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    fs::current_path(s.work);
}

// Reads one archived file to its end; its bytes must match its size.
void ReadEntry(CExtendedFileSystem& xfs, const std::string& name)
{
    unsigned long handle = 0;
    try
    {
        handle = xfs.OpenFile(name.c_str());
    }
    catch (const CXfsException&)
    {
        return;
    }
    try
    {
        const unsigned long size = xfs.GetFileSize(handle);
        unsigned long total = 0;
        static char buffer[kReadChunk];
        for (unsigned long n; (n = xfs.ReadFile(handle, buffer, kReadChunk)) != 0;)
        {
            if (n > kReadChunk)
                Fail("read more than asked", name);
            total += n;
        }
        if (total != size || !xfs.IsEof(handle))
            Fail("entry read differs from its size", name);
    }
    catch (const CXfsException&)
    {
    }
    xfs.CloseFile(handle);
}

void ListAndOpen(CExtendedFileSystem& xfs)
{
    CZRArchiveReader reader;
    if (!reader.Open(kArchiveName))
        return;
    reader.Verify();
    std::size_t opened = 0;
    for (const sArchiveNode& node : reader.GetTree())
    {
        if (opened++ == kMaxEntriesOpened)
            break;
        ReadEntry(xfs, kArchivePrefix + std::string(node.path.GetString()));
    }
}

void Extract(CExtendedFileSystem& xfs)
{
    try
    {
        xfs.ExtractArchive(kArchiveName, Scratch().out.c_str());
    }
    catch (const CXfsException&)
    {
    }
}

// Only the archive itself and what lies below the target directory may exist.
void CheckNothingOutside()
{
    const sScratch& s = Scratch();
    const fs::path archive = s.work / kArchiveName;
    for (auto it = fs::recursive_directory_iterator(s.root); it != fs::recursive_directory_iterator();
         ++it)
    {
        const fs::path& path = it->path();
        if (path == s.work || path == archive)
            continue;
        const auto [end, ignored] = std::mismatch(s.out.begin(), s.out.end(), path.begin());
        if (end != s.out.end())
            Fail("written outside the target directory", path);
        if (it->is_symlink())
            Fail("extraction made a link", path);
    }
}

// The FILE_ layer hands out the lowest free slot: after an input it must be
// the same one as before the first.
void CheckNoStreamLeft()
{
    static int s_firstFree = -1;
    const int handle = FILE_Open(kArchiveName, "rb");
    if (handle == -1)
        Fail("archive cannot be reopened", kArchiveName);
    FILE_Close(handle);
    if (s_firstFree == -1)
        s_firstFree = handle;
    else if (handle != s_firstFree)
        Fail("a FILE_ stream was left open", kArchiveName);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libFuzzer's own paths may be relative: its directory comes back at the end.
    static const fs::path s_home = fs::current_path();
    CExtendedFileSystem& xfs = *CExtendedFileSystem::Instance();
    PrepareScratch(data, size);
    ListAndOpen(xfs);
    Extract(xfs);
    fs::current_path(Scratch().work);
    CheckNothingOutside();
    ZRPlatform::Seam::ForgetArchives();
    CheckNoStreamLeft();
    fs::current_path(s_home);
    return 0;
}
