// CZRArchiveReader: reads and checks an archive file without trusting it.
#pragma once

#include <cstdint>
#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

// One directory entry as the reader found it: a file, or a nested archive,
// which stands for a folder.
struct sArchiveNode
{
    CZRString name;        // the entry's name
    CZRString path;        // names from the top-level archive down, joined by '\'
    std::uint32_t size;    // bytes of data
    std::uint64_t offset;  // absolute offset of the data in the file
    int depth;             // 0 for entries of the top-level archive
    bool isFolder;         // a nested archive
};

// One thing wrong with an archive. Errors make the archive unreadable or
// unsafe in part; warnings mark bytes that a writer should have left zero or
// unused, and the archive still reads as intended.
struct sArchiveProblem
{
    bool isError;
    CZRString text;  // "<archive path>: <what is wrong>", warnings with "warning: "
};

// Walks the archive format (a 32-byte header, the entries' data, a directory of
// 276-byte entries; a nested archive is an entry whose data is a complete
// archive) and checks every field against the bytes actually there, by the
// same rules as the extended file system: what the reader calls an error, the
// file system refuses to register. Whatever the file holds, the reader reads
// only inside it, allocates no more than the file's size warrants, and ends:
// every nested archive lies strictly inside its parent's data, and an entry
// whose data does not follow the data before it is not entered.
//
// Open only measures the file; each walk opens it afresh through the FILE_
// layer and closes it again, so copies are independent and nothing stays open.
// Names are Windows names, as for FILE_Open. One thread at a time per object.
class ZR_COMMON_API CZRArchiveReader
{
public:
    CZRArchiveReader();
    CZRArchiveReader(const CZRArchiveReader& other);
    CZRArchiveReader& operator=(const CZRArchiveReader& other);
    virtual ~CZRArchiveReader();

    // False when the file cannot be opened for reading; the reader is then
    // closed and FILE_GetLastError() tells why.
    bool Open(const char* name);
    void Close();
    bool IsOpen() const;
    // The name given to Open; the root of every problem text.
    const CZRString& GetName() const;
    std::uint64_t GetFileSize() const;

    // Entries in directory order, each nested archive's entries right after
    // the nested archive itself. Entries that fail a check are left out, and so
    // are the contents of archives that cannot be read. Empty when closed.
    std::vector<sArchiveNode> GetTree() const;
    // Everything wrong, in walk order; empty for a sound archive. Closed: one error.
    std::vector<sArchiveProblem> Verify() const;
    static bool HasErrors(const std::vector<sArchiveProblem>& problems);

private:
    void Walk(std::vector<sArchiveNode>* nodes, std::vector<sArchiveProblem>* problems) const;

    CZRString m_name;
    std::uint64_t m_fileSize;
    bool m_bOpen;
};
