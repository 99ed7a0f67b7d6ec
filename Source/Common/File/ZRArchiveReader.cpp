#include "Common/File/ZRArchiveReader.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

#include "Common/File/FileFunctions.h"
#include "Common/File/FileSlotTable.h"
#include "Common/File/ZRArchive.h"
#include "Common/File/ZRArchiveFormat.h"
#include "Common/File/ZRArchiveRecords.h"

namespace
{
// The layout's offsets and sizes are ZRArchive.h's, shared with the writer;
// what counts as an error is ZRArchiveFormat.h's, shared with the file system.
constexpr unsigned kKnownFlags = ARCHIVE_ENTRY_NESTED;
constexpr std::size_t kWord = 4;
constexpr std::size_t kShownNameLength = 40;  // of a name without terminator

using ZRArchiveFormat::eFault;

struct sHeader
{
    sArchiveHeader record;
    bool reservedZero;
};

struct sEntry
{
    sArchiveEntry record;
    std::string name;  // up to the terminator, or all 256 bytes without one
    bool terminated;
    bool paddingZero;
    bool reservedZero;
    bool sound;  // passed every check that matters for reading it
};

// One archive still to read: the top-level one or a nested one.
struct sSpan
{
    std::uint64_t base;    // absolute offset of the header
    std::uint64_t limit;   // bytes it may take: the file's size, or its entry's size
    bool nested;
    std::string location;  // file name and nested names, for messages
    std::string path;      // nested names from the top-level archive down
    int depth;             // depth of its entries
};

bool AllZero(const unsigned char* bytes, std::size_t count)
{
    return std::all_of(bytes, bytes + count, [](unsigned char b) { return b == 0; });
}

sHeader DecodeHeader(const unsigned char* bytes)
{
    return sHeader{ZRArchiveRecords::DecodeHeader(bytes),
                   AllZero(bytes + ARCHIVE_HEADER_RESERVED,
                           ARCHIVE_HEADER_SIZE - ARCHIVE_HEADER_RESERVED)};
}

sEntry DecodeEntry(const unsigned char* bytes)
{
    const sArchiveEntry entry = ZRArchiveRecords::DecodeEntry(bytes);
    const unsigned char* name = bytes + ARCHIVE_ENTRY_NAME;
    const unsigned char* end = std::find(name, name + ARCHIVE_NAME_SIZE, 0);
    const bool terminated = end != name + ARCHIVE_NAME_SIZE;
    const std::size_t length = static_cast<std::size_t>(end - name);
    return sEntry{entry,
                  std::string(entry.name, length),
                  terminated,
                  !terminated || AllZero(end, ARCHIVE_NAME_SIZE - length),
                  AllZero(entry.reserved, ARCHIVE_ENTRY_RESERVED_SIZE),
                  true};
}

bool IsFolder(const sEntry& entry) { return (entry.record.flags & ARCHIVE_ENTRY_NESTED) != 0; }

std::string Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(&text[0], text.size() + 1, format, args);
    va_end(args);
    return text;
}

// Control characters as \xNN, so a text from the file cannot disturb a terminal.
std::string Printable(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text)
        shown += (c < 0x20 || c == 0x7F) ? Printf("\\x%02X", c) : std::string(1, char(c));
    return shown;
}

std::string Join(const std::string& parent, const std::string& name)
{
    return parent.empty() ? name : parent + "\\" + name;
}

std::string ShownName(const sEntry& entry)
{
    if (entry.terminated)
        return "\"" + Printable(entry.name) + "\"";
    return "\"" + Printable(entry.name.substr(0, kShownNameLength)) + "...\"";
}

// A FILE_ stream opened for reading, closed when it goes out of scope. A
// failed open leaves its own cause for FILE_GetLastError().
class CInputFile
{
public:
    explicit CInputFile(const char* name) : m_handle(Open(name)) {}
    ~CInputFile()
    {
        if (IsOpen())
            FILE_Close(m_handle);
    }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    bool IsOpen() const { return m_handle != FILE_INVALID_HANDLE; }

    bool Measure(std::uint64_t& size) { return FileMeasure(m_handle, size); }

    bool Seek(std::uint64_t offset)
    {
        return FileSeekTo(m_handle, offset);
    }

    bool Read(unsigned char* buffer, std::size_t count)
    {
        return FILE_Read(m_handle, buffer, 1, count) == count;
    }

private:
    // The thread's cause is left as it was when the open succeeds.
    static int Open(const char* name)
    {
        const eFileError before = FILE_GetLastError();
        FILE_SetLastError(FILE_ERROR_NONE);
        const int handle = FILE_Open(name, "rb");
        if (handle != FILE_INVALID_HANDLE)
            FILE_SetLastError(before);
        return handle;
    }

    int m_handle;
};

// One walk over an archive tree, depth first in directory order. The stack of
// open archives is explicit, so deep nesting costs heap, not call stack.
class CArchiveWalker
{
public:
    CArchiveWalker(CInputFile& file, std::vector<sArchiveNode>* nodes,
                   std::vector<sArchiveProblem>* problems)
        : m_file(file), m_nodes(nodes), m_problems(problems)
    {
    }

    void Run(const sSpan& top);

private:
    struct sFrame
    {
        sSpan span;
        std::vector<sEntry> entries;
        std::size_t next;
    };

    sFrame ReadArchive(const sSpan& span);
    bool ReadHeader(const sSpan& span, sHeader& header);
    bool CheckTotalSize(const sSpan& span, const sArchiveHeader& header,
                        unsigned long long& bound);
    bool CheckDirectory(const sSpan& span, const sArchiveHeader& header,
                        unsigned long long bound);
    bool ReadDirectory(const sSpan& span, const sArchiveHeader& header,
                       std::vector<sEntry>& entries);
    void CheckEntries(const sSpan& span, const sArchiveHeader& header,
                      std::vector<sEntry>& entries);
    bool CheckName(const std::string& where, const sEntry& entry);
    bool CheckData(const std::string& where, const sArchiveHeader& header,
                   const std::vector<sEntry>& entries, std::size_t index, std::size_t previous);
    void CheckDuplicates(const sSpan& span, const std::vector<sEntry>& entries);
    void Visit(const sSpan& span, const sEntry& entry);

    static std::string EntryLabel(std::size_t index, const sEntry& entry);
    static std::string EntryLocation(const sSpan& span, std::size_t index, const sEntry& entry);
    void Report(bool isError, const std::string& where, const std::string& what);

    CInputFile& m_file;
    std::vector<sArchiveNode>* m_nodes;
    std::vector<sArchiveProblem>* m_problems;
    std::vector<sFrame> m_stack;
};

void CArchiveWalker::Run(const sSpan& top)
{
    m_stack.push_back(ReadArchive(top));
    while (!m_stack.empty())
    {
        sFrame& frame = m_stack.back();
        if (frame.next == frame.entries.size())
        {
            m_stack.pop_back();
            continue;
        }
        const sEntry& entry = frame.entries[frame.next++];
        if (!entry.sound)
            continue;
        Visit(frame.span, entry);
        if (IsFolder(entry))
        {
            // Read before the stack grows and moves frame and entry.
            sFrame child = ReadArchive(sSpan{frame.span.base + entry.record.offset,
                                             entry.record.size, true,
                                             Join(frame.span.location, entry.name),
                                             Join(frame.span.path, entry.name),
                                             frame.span.depth + 1});
            m_stack.push_back(std::move(child));
        }
    }
}

void CArchiveWalker::Visit(const sSpan& span, const sEntry& entry)
{
    if (m_nodes == nullptr)
        return;
    m_nodes->push_back(sArchiveNode{entry.name.c_str(), Join(span.path, entry.name).c_str(),
                                    entry.record.size, span.base + entry.record.offset,
                                    span.depth, IsFolder(entry)});
}

// An archive whose header or directory cannot be trusted yields no entries.
CArchiveWalker::sFrame CArchiveWalker::ReadArchive(const sSpan& span)
{
    sFrame frame{span, {}, 0};
    sHeader header{};
    unsigned long long bound = 0;
    if (!ReadHeader(span, header) || !CheckTotalSize(span, header.record, bound) ||
        !CheckDirectory(span, header.record, bound) ||
        !ReadDirectory(span, header.record, frame.entries))
        return frame;
    CheckEntries(span, header.record, frame.entries);
    CheckDuplicates(span, frame.entries);
    return frame;
}

// Magic and version decide whether anything else can be read at all.
bool CArchiveWalker::ReadHeader(const sSpan& span, sHeader& header)
{
    if (ZRArchiveFormat::CheckRoom(span.limit) != eFault::None)
    {
        Report(true, span.location,
               Printf("%llu bytes are too few for the %zu-byte archive header",
                      static_cast<unsigned long long>(span.limit), ARCHIVE_HEADER_SIZE));
        return false;
    }
    unsigned char bytes[ARCHIVE_HEADER_SIZE];
    if (!m_file.Seek(span.base) || !m_file.Read(bytes, ARCHIVE_HEADER_SIZE))
    {
        Report(true, span.location, Printf("cannot read the archive header at offset %llu",
                                           static_cast<unsigned long long>(span.base)));
        return false;
    }
    header = DecodeHeader(bytes);
    const sArchiveHeader& record = header.record;
    switch (ZRArchiveFormat::CheckVersion(record))
    {
    case eFault::BadMagic:
        Report(true, span.location,
               "bad magic \"" + Printable(std::string(reinterpret_cast<char*>(bytes), kWord)) +
                   "\" (expected \"ARCX\")");
        return false;
    case eFault::BadVersion:
        Report(true, span.location,
               Printf("unsupported version %u.%u (expected %u.%u)", unsigned(record.majorVersion),
                      unsigned(record.minorVersion), unsigned(ARCHIVE_VERSION_MAJOR),
                      unsigned(ARCHIVE_VERSION_MINOR)));
        return false;
    default:
        break;
    }
    if (!header.reservedZero)
        Report(false, span.location, "reserved header bytes are not zero");
    return true;
}

// The total size against the bytes really available; bound receives the
// smaller of the two, the end of what may be read, so that the walk can go on
// reporting after an error.
bool CArchiveWalker::CheckTotalSize(const sSpan& span, const sArchiveHeader& header,
                                    unsigned long long& bound)
{
    const unsigned long long total = header.totalSize;
    const unsigned long long limit = span.limit;
    switch (ZRArchiveFormat::CheckTotalSize(header, span.limit, span.nested))
    {
    case eFault::TotalTooSmall:
        Report(true, span.location, Printf("total size %llu is smaller than the %zu-byte header",
                                           total, ARCHIVE_HEADER_SIZE));
        return false;
    case eFault::TotalNotEntrySize:
        Report(true, span.location,
               Printf("total size %llu differs from the size of its entry (%llu bytes)", total,
                      limit));
        break;
    case eFault::TotalPastEnd:
        Report(true, span.location,
               Printf("total size %llu runs past the end of the file (%llu bytes)", total, limit));
        break;
    default:
        if (total < limit)
            Report(false, span.location,
                   Printf("%llu bytes after the archive's end belong to no archive",
                          limit - total));
        break;
    }
    bound = std::min(total, limit);
    return true;
}

// The directory lies between the header and the bound, so its entry count
// cannot ask for more memory than the file's size.
bool CArchiveWalker::CheckDirectory(const sSpan& span, const sArchiveHeader& header,
                                    unsigned long long bound)
{
    const unsigned long long dirOffset = header.directoryOffset;
    const unsigned long long dirBytes =
        static_cast<unsigned long long>(header.entryCount) * ARCHIVE_ENTRY_SIZE;
    switch (ZRArchiveFormat::CheckDirectory(header, bound))
    {
    case eFault::DirectoryOutside:
        Report(true, span.location,
               Printf("directory offset %llu lies outside the archive (%zu to %llu)", dirOffset,
                      ARCHIVE_HEADER_SIZE, bound));
        return false;
    case eFault::DirectoryPastEnd:
        Report(true, span.location,
               Printf("directory of %u entries (%llu bytes) at offset %llu runs past the "
                      "archive's end at %llu",
                      header.entryCount, dirBytes, dirOffset, bound));
        return false;
    default:
        break;
    }
    if (dirOffset + dirBytes < bound)
        Report(false, span.location,
               Printf("%llu bytes after the directory lie unused", bound - dirOffset - dirBytes));
    return true;
}

// The count has been checked against the bound, which limits the allocation.
bool CArchiveWalker::ReadDirectory(const sSpan& span, const sArchiveHeader& header,
                                   std::vector<sEntry>& entries)
{
    entries.reserve(header.entryCount);
    unsigned char bytes[ARCHIVE_ENTRY_SIZE];
    const std::uint64_t start = span.base + header.directoryOffset;
    const bool positioned = header.entryCount == 0 || m_file.Seek(start);
    for (std::uint32_t i = 0; i < header.entryCount; ++i)
    {
        if (!positioned || !m_file.Read(bytes, ARCHIVE_ENTRY_SIZE))
        {
            Report(true, span.location,
                   Printf("cannot read directory entry %u at offset %llu", i + 1,
                          static_cast<unsigned long long>(start + i * ARCHIVE_ENTRY_SIZE)));
            entries.clear();
            return false;
        }
        entries.push_back(DecodeEntry(bytes));
    }
    return true;
}

// Each entry's name and data; its data must follow the data of the last sound
// entry before it. An entry that fails is not entered.
void CArchiveWalker::CheckEntries(const sSpan& span, const sArchiveHeader& header,
                                  std::vector<sEntry>& entries)
{
    std::size_t previous = entries.size();  // none yet
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        sEntry& entry = entries[i];
        const std::string where = EntryLocation(span, i, entry);
        const unsigned unknown = entry.record.flags & ~kKnownFlags;
        if (unknown != 0)
            Report(false, where, Printf("unknown flag bits 0x%02X", unknown));
        if (!entry.reservedZero)
            Report(false, where, "reserved entry bytes are not zero");
        const bool named = CheckName(where, entry);
        const bool placed = CheckData(where, header, entries, i, previous);
        entry.sound = named && placed;
        if (placed)
            previous = i;
    }
}

// A name is one path component: extraction must not leave the target directory.
bool CArchiveWalker::CheckName(const std::string& where, const sEntry& entry)
{
    const char* fault = nullptr;
    switch (ZRArchiveFormat::CheckEntryName(entry.record))
    {
    case eFault::NameUnterminated: fault = "name has no terminator within 256 bytes"; break;
    case eFault::NameEmpty: fault = "name is empty"; break;
    case eFault::NameDot: fault = "name refers to a directory itself or its parent"; break;
    case eFault::NameSeparator: fault = "name contains a path separator"; break;
    case eFault::NameDrive: fault = "name starts with a drive"; break;
    default: break;
    }
    if (fault != nullptr)
        Report(true, where, fault);
    else if (!entry.paddingZero)
        Report(false, where, "unused name bytes are not zero");
    return fault == nullptr;
}

// Data lies back to back in directory order, so no byte is entered twice.
bool CArchiveWalker::CheckData(const std::string& where, const sArchiveHeader& header,
                               const std::vector<sEntry>& entries, std::size_t index,
                               std::size_t previous)
{
    const sEntry& entry = entries[index];
    const bool first = previous == entries.size();
    const std::uint64_t dataEnd =
        first ? ARCHIVE_HEADER_SIZE : ZRArchiveFormat::DataEnd(entries[previous].record);
    const unsigned long long start = entry.record.offset;
    const unsigned long long end = ZRArchiveFormat::DataEnd(entry.record);
    switch (ZRArchiveFormat::CheckEntryData(entry.record, header, dataEnd))
    {
    case eFault::DataOutside:
        Report(true, where,
               Printf("data [%llu, %llu) lies outside the data area [%zu, %u)%s", start, end,
                      ARCHIVE_HEADER_SIZE, header.directoryOffset,
                      IsFolder(entry) ? " (a nested archive must lie inside its parent's data)"
                                      : ""));
        return false;
    case eFault::DataOutOfOrder:
        Report(true, where,
               Printf("data [%llu, %llu) starts before the end of ", start, end) +
                   EntryLabel(previous, entries[previous]) +
                   Printf(" at %llu (data lies back to back in directory order)",
                          static_cast<unsigned long long>(dataEnd)));
        return false;
    default:
        return true;
    }
}

// Names match without regard to case, so a later duplicate can never be opened.
void CArchiveWalker::CheckDuplicates(const sSpan& span, const std::vector<sEntry>& entries)
{
    std::vector<std::pair<std::string, std::size_t>> keys;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        if (!entries[i].terminated || entries[i].name.empty())
            continue;
        keys.emplace_back(ZRArchiveFormat::FoldName(entries[i].name.c_str()), i);
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t k = 1; k < keys.size(); ++k)
        if (keys[k].first == keys[k - 1].first)
        {
            const std::size_t first = keys[k - 1].second;
            Report(false, EntryLocation(span, keys[k].second, entries[keys[k].second]),
                   "same name as " + EntryLabel(first, entries[first]));
        }
}

std::string CArchiveWalker::EntryLabel(std::size_t index, const sEntry& entry)
{
    return Printf("entry %zu ", index + 1) + ShownName(entry);
}

std::string CArchiveWalker::EntryLocation(const sSpan& span, std::size_t index,
                                          const sEntry& entry)
{
    return span.location + ": " + EntryLabel(index, entry);
}

void CArchiveWalker::Report(bool isError, const std::string& where, const std::string& what)
{
    if (m_problems == nullptr)
        return;
    const std::string text = where + (isError ? ": " : ": warning: ") + what;
    m_problems->push_back(sArchiveProblem{isError, text.c_str()});
}

} // namespace

CZRArchiveReader::CZRArchiveReader() : m_fileSize(0), m_bOpen(false) {}
CZRArchiveReader::CZRArchiveReader(const CZRArchiveReader& other) = default;
CZRArchiveReader& CZRArchiveReader::operator=(const CZRArchiveReader& other) = default;
CZRArchiveReader::~CZRArchiveReader() = default;

bool CZRArchiveReader::Open(const char* name)
{
    Close();
    if (name == nullptr)
    {
        FILE_SetLastError(FILE_ERROR_INVALID_ARGUMENT);
        return false;
    }
    CInputFile file(name);
    if (!file.IsOpen() || !file.Measure(m_fileSize))
        return false;
    m_name = name;
    m_bOpen = true;
    return true;
}

void CZRArchiveReader::Close()
{
    m_name.Empty();
    m_fileSize = 0;
    m_bOpen = false;
}

bool CZRArchiveReader::IsOpen() const { return m_bOpen; }

const CZRString& CZRArchiveReader::GetName() const { return m_name; }

std::uint64_t CZRArchiveReader::GetFileSize() const { return m_fileSize; }

std::vector<sArchiveNode> CZRArchiveReader::GetTree() const
{
    std::vector<sArchiveNode> nodes;
    Walk(&nodes, nullptr);
    return nodes;
}

std::vector<sArchiveProblem> CZRArchiveReader::Verify() const
{
    std::vector<sArchiveProblem> problems;
    Walk(nullptr, &problems);
    return problems;
}

bool CZRArchiveReader::HasErrors(const std::vector<sArchiveProblem>& problems)
{
    return std::any_of(problems.begin(), problems.end(),
                       [](const sArchiveProblem& problem) { return problem.isError; });
}

// The file is measured again: it may have changed since Open.
void CZRArchiveReader::Walk(std::vector<sArchiveNode>* nodes,
                            std::vector<sArchiveProblem>* problems) const
{
    const std::string name = m_bOpen ? ~m_name : "";
    CInputFile file(name.c_str());
    std::uint64_t size = 0;
    if (!m_bOpen || !file.IsOpen() || !file.Measure(size))
    {
        if (problems != nullptr)
            problems->push_back(sArchiveProblem{true, (name + ": cannot open the file").c_str()});
        return;
    }
    CArchiveWalker(file, nodes, problems).Run(sSpan{0, size, false, name, "", 0});
}
