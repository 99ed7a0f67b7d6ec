#include "Common/File/ZRFileScanner.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "Common/Core/ZRPath.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/ZREvent.h"

namespace
{
const char* const kAllEntries = "*.*";
const char kHiddenPrefix = '.';
// A set stop flag still lets this many entries of a file listing through.
constexpr int kEntriesBeforeStopCheck = 2;

// Counts the StopThread calls of the process. A scan remembers the count at its
// start and is stopped once the count differs, so a stop reaches every scan
// begun before it and none begun after it. Written rarely, read per entry.
std::atomic<unsigned long> g_stopRequests{0};

CZRString Join(const CZRString& directory, const CZRString& name)
{
    CZRPath path(directory);
    path.Append(CZRPath(name));
    return path;
}

// One Windows-style listing, closed when the object goes.
class CDirectoryListing
{
public:
    explicit CDirectoryListing(const CZRString& pattern)
        : m_hFind(ZRPlatform::FindFirst(pattern.GetString(), &m_entry))
    {
    }
    ~CDirectoryListing()
    {
        if (m_hFind != 0)
            ZRPlatform::FindClose(m_hFind);
    }
    CDirectoryListing(const CDirectoryListing&) = delete;
    CDirectoryListing& operator=(const CDirectoryListing&) = delete;

    bool HasEntry() const { return m_hFind != 0 && m_bHasEntry; }
    const char* Name() const { return m_entry.name; }
    bool IsDirectory() const { return (m_entry.attributes & ZRPlatform::kAttrDirectory) != 0; }
    void Next() { m_bHasEntry = ZRPlatform::FindNext(m_hFind, &m_entry); }

private:
    ZRPlatform::DirectoryEntry m_entry{};
    ZRPlatform::FindHandle m_hFind;
    bool m_bHasEntry = true;
};

// The directories a descent is inside, outermost first, by identity.
using Ancestors = std::vector<ZRPlatform::DirectoryId>;

// Marks directory as one the descent is inside while the object lives.
class CInside
{
public:
    CInside(const CZRString& directory, Ancestors& ancestors)
        : m_ancestors(ancestors), m_depth(ancestors.size())
    {
        ZRPlatform::DirectoryId id{};
        if (ZRPlatform::DirectoryIdentify(directory.GetString(), &id))
            ancestors.push_back(id);
    }
    ~CInside() { m_ancestors.resize(m_depth); }
    CInside(const CInside&) = delete;
    CInside& operator=(const CInside&) = delete;

private:
    Ancestors& m_ancestors;
    const std::size_t m_depth;
};

bool IsAncestor(const CZRString& directory, const Ancestors& ancestors)
{
    ZRPlatform::DirectoryId id{};
    return ZRPlatform::DirectoryIdentify(directory.GetString(), &id) &&
           std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
}

// The subdirectories of directory to descend into, as directory\name, in listing
// order. "." and ".." start with a dot like every other hidden directory. A
// link back to a directory the descent is already inside is left out, so a
// scan of a tree with a link loop ends, as packing one does.
std::vector<CZRString> ListSubDirectories(const CZRString& directory, const Ancestors& ancestors)
{
    std::vector<CZRString> subDirectories;
    for (CDirectoryListing listing(Join(directory, kAllEntries)); listing.HasEntry(); listing.Next())
    {
        if (!listing.IsDirectory() || listing.Name()[0] == kHiddenPrefix)
            continue;
        CZRString subDirectory = Join(directory, listing.Name());
        if (!IsAncestor(subDirectory, ancestors))
            subDirectories.push_back(subDirectory);
    }
    return subDirectories;
}

// Calls onFile(name) for each entry of directory matching mask that is not a
// directory, in listing order. After each entry from the second on the listing
// ends when shouldStop() is true.
template <class OnFile, class ShouldStop>
void ForEachFile(const CZRString& directory, const CZRString& mask, OnFile onFile,
                 ShouldStop shouldStop)
{
    CDirectoryListing listing(Join(directory, mask));
    for (int nEntry = 1; listing.HasEntry(); ++nEntry, listing.Next())
    {
        if (!listing.IsDirectory())
            onFile(listing.Name());
        if (nEntry >= kEntriesBeforeStopCheck && shouldStop())
            return;
    }
}

// Everything one scan works on; the thread owns a copy of its own.
struct sScanJob
{
    FileScannerCallback pfnCallback;
    ZRUserValue ulUser;
    bool bIncludeSubDirs;
    unsigned long ulStopMark;
    std::vector<CZRString> scanDirectories;
    std::vector<CZRString> masks;
    std::unique_ptr<CZREvent> pStartEvent;

    bool StopRequested() const
    {
        return g_stopRequests.load(std::memory_order_relaxed) != ulStopMark;
    }

    void Report(eScannerMode mode, sFileData* pFileData) const
    {
        if (pfnCallback != nullptr)
            pfnCallback(mode, pFileData, ulUser);
    }

    void ScanDirectory(const CZRString& directory, const CZRString& mask, Ancestors& ancestors) const
    {
        const CInside inside(directory, ancestors);
        const std::vector<CZRString> subDirectories = ListSubDirectories(directory, ancestors);
        sFileData fileData;
        fileData.strDirectory = directory;
        fileData.strPath = directory;
        auto reportFile = [&](const char* name) {
            fileData.strName = name;
            Report(SCANNER_FILE, &fileData);
        };
        ForEachFile(directory, mask, reportFile, [this] { return StopRequested(); });
        if (!bIncludeSubDirs)
            return;
        for (const CZRString& subDirectory : subDirectories)
        {
            if (StopRequested())
                return;
            ScanDirectory(subDirectory, mask, ancestors);
        }
    }

    void ScanAll() const
    {
        for (std::size_t i = 0; i < scanDirectories.size(); ++i)
        {
            Ancestors ancestors;
            ScanDirectory(scanDirectories[i], masks[i], ancestors);
        }
    }
};

std::uint32_t ScanThreadMain(void* pArgument)
{
    const std::unique_ptr<sScanJob> job(static_cast<sScanJob*>(pArgument));
    if (job->pStartEvent)
        job->pStartEvent->Wait();
    job->Report(SCANNER_START, nullptr);
    job->ScanAll();
    job->Report(job->StopRequested() ? SCANNER_STOPPED : SCANNER_DONE, nullptr);
    return 0;
}

void CountDirectory(const CZRString& directory, const CZRString& mask, int& files, int& folders,
                    Ancestors& ancestors)
{
    const CInside inside(directory, ancestors);
    const std::vector<CZRString> subDirectories = ListSubDirectories(directory, ancestors);
    folders += static_cast<int>(subDirectories.size());
    ForEachFile(directory, mask, [&files](const char*) { ++files; }, [] { return false; });
    for (const CZRString& subDirectory : subDirectories)
        CountDirectory(subDirectory, mask, files, folders, ancestors);
}

ZRHANDLE DuplicateThread(ZRHANDLE hThread)
{
    return hThread == 0 ? 0 : ZRPlatform::ObjectDuplicate(hThread);
}

void CloseThread(ZRHANDLE hThread)
{
    if (hThread != 0)
        ZRPlatform::ObjectClose(hThread);
}
} // namespace

CZRFileScanner::CZRFileScanner() : m_bIncludeSubDirs(true), m_hThread(0) {}

CZRFileScanner::CZRFileScanner(const CZRFileScanner& other)
    : m_bIncludeSubDirs(other.m_bIncludeSubDirs),
      m_hThread(DuplicateThread(other.m_hThread)),
      m_scanDirectories(other.m_scanDirectories),
      m_masks(other.m_masks)
{
}

CZRFileScanner& CZRFileScanner::operator=(const CZRFileScanner& other)
{
    if (this != &other)
    {
        CloseThread(m_hThread);
        m_bIncludeSubDirs = other.m_bIncludeSubDirs;
        m_hThread = DuplicateThread(other.m_hThread);
        m_scanDirectories = other.m_scanDirectories;
        m_masks = other.m_masks;
    }
    return *this;
}

CZRFileScanner::~CZRFileScanner() { CloseThread(m_hThread); }

void CZRFileScanner::SetIncludeSubDirs(bool bIncludeSubDirs) { m_bIncludeSubDirs = bIncludeSubDirs; }

void CZRFileScanner::AddScanDirectory(const CZRString& directory, const CZRString& mask)
{
    m_scanDirectories.push_back(directory);
    m_masks.push_back(mask);
}

void CZRFileScanner::Run(FileScannerCallback pfnCallback, ZRUserValue ulUser)
{
    const sScanJob job{pfnCallback, ulUser, m_bIncludeSubDirs, g_stopRequests.load(),
                       m_scanDirectories, m_masks, nullptr};
    job.ScanAll();
}

bool CZRFileScanner::RunThread(FileScannerCallback pfnCallback, ZRUserValue ulUser,
                               CZREvent* pStartEvent)
{
    auto job = std::make_unique<sScanJob>(sScanJob{
        pfnCallback, ulUser, m_bIncludeSubDirs, g_stopRequests.load(), m_scanDirectories, m_masks,
        pStartEvent != nullptr ? std::make_unique<CZREvent>(*pStartEvent) : nullptr});
    const ZRHANDLE hThread = ZRPlatform::ThreadCreate(ScanThreadMain, job.get(), nullptr);
    if (hThread == 0)
        return false;
    job.release();   // the thread owns it now
    CloseThread(m_hThread);
    m_hThread = hThread;
    return true;
}

void CZRFileScanner::StopThread() { g_stopRequests.fetch_add(1); }

bool CZRFileScanner::WaitThread(unsigned long ulTimeout) const
{
    return m_hThread == 0 ||
           ZRPlatform::ObjectWait(m_hThread, static_cast<std::uint32_t>(ulTimeout)) ==
               ZRPlatform::WaitResult::Signaled;
}

bool CZRFileScanner::SetThreadPriority(int nPriority)
{
    return m_hThread != 0 && ZRPlatform::ThreadSetPriority(m_hThread, nPriority);
}

int CZRFileScanner::GetThreadPriority() const
{
    return m_hThread == 0 ? THREAD_PRIORITY_ERROR : ZRPlatform::ThreadGetPriority(m_hThread);
}

void CZRFileScanner::GetFolderFileCount(int& files, int& folders, const CZRString& mask) const
{
    files = 0;
    folders = 0;
    for (const CZRString& directory : m_scanDirectories)
    {
        Ancestors ancestors;
        CountDirectory(directory, mask, files, folders, ancestors);
    }
}
