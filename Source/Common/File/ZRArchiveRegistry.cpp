#include "Common/File/ZRArchiveRegistry.h"

#include <algorithm>

namespace
{
template <std::size_t N> void CopyText(char (&target)[N], const std::string& text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), target);
    std::fill(target + length, target + N, '\0');
}

template <std::size_t N> void CopyText(char (&target)[N], const char* text)
{
    CopyText(target, std::string(text));
}
} // namespace

const sArchiveEntry* sArchiveDirectory::Find(const char* name) const
{
    const std::size_t found = index.Find(entries, name);
    return found == entries.size() ? nullptr : &entries[found];
}

CZRArchiveRegistry::CZRArchiveRegistry()
    : m_pool(new sArchiveInfo[CAPACITY]), m_count(0), m_firstTopLevel(ARCHIVE_NONE)
{
}

CZRArchiveRegistry::CZRArchiveRegistry(const CZRArchiveRegistry& other) : CZRArchiveRegistry()
{
    *this = other;
}

CZRArchiveRegistry& CZRArchiveRegistry::operator=(const CZRArchiveRegistry& other)
{
    if (this != &other)
    {
        std::copy(other.m_pool.get(), other.m_pool.get() + CAPACITY, m_pool.get());
        m_count = other.m_count;
        m_firstTopLevel = other.m_firstTopLevel;
    }
    return *this;
}

CZRArchiveRegistry::~CZRArchiveRegistry() = default;

bool CZRArchiveRegistry::IsFull() const { return m_count >= CAPACITY; }

sArchiveInfo* CZRArchiveRegistry::Find(const sArchiveInfo& parent, const char* name)
{
    for (long i = parent.firstChild; i != ARCHIVE_NONE; i = m_pool[i].nextSibling)
        if (ZRArchiveFormat::NamesMatch(m_pool[i].name, name))
            return &m_pool[i];
    return nullptr;
}

sArchiveInfo* CZRArchiveRegistry::FindTopLevel(const ZRPlatform::DirectoryId& home,
                                               const char* fileName)
{
    for (long i = m_firstTopLevel; i != ARCHIVE_NONE; i = m_pool[i].nextSibling)
        if (m_pool[i].home == home && ZRArchiveFormat::NamesMatch(m_pool[i].name, fileName))
            return &m_pool[i];
    return nullptr;
}

bool CZRArchiveRegistry::HasTopLevelNamed(const char* fileName) const
{
    for (long i = m_firstTopLevel; i != ARCHIVE_NONE; i = m_pool[i].nextSibling)
        if (ZRArchiveFormat::NamesMatch(m_pool[i].name, fileName))
            return true;
    return false;
}

sArchiveInfo& CZRArchiveRegistry::AddTopLevel(const char* fileName,
                                              std::shared_ptr<const CArchiveContainer> file,
                                              const ZRPlatform::DirectoryId& home,
                                              sArchiveDirectory&& directory)
{
    sArchiveInfo& archive = Adopt(ARCHIVE_NONE, std::move(directory));
    CopyText(archive.name, fileName);
    archive.file = std::move(file);
    archive.home = home;
    archive.container = IndexOf(archive);
    return archive;
}

sArchiveInfo& CZRArchiveRegistry::AddNested(sArchiveInfo& parent, const char* name,
                                            sArchiveDirectory&& directory)
{
    sArchiveInfo& archive = Adopt(IndexOf(parent), std::move(directory));
    CopyText(archive.name, name);
    archive.container = parent.container;
    return archive;
}

const std::shared_ptr<const CArchiveContainer>& CZRArchiveRegistry::Container(
    const sArchiveInfo& archive) const
{
    return m_pool[archive.container].file;
}

void CZRArchiveRegistry::RemoveTopLevel(sArchiveInfo& archive)
{
    const long index = IndexOf(archive);
    for (long* link = &m_firstTopLevel; *link != ARCHIVE_NONE; link = &m_pool[*link].nextSibling)
        if (*link == index)
        {
            *link = archive.nextSibling;
            break;
        }
    Release(index);
}

// Frees what the record and its nested ones hold; nested archives strictly
// shrink, so the descent ends.
void CZRArchiveRegistry::Release(long index)
{
    sArchiveInfo& archive = m_pool[index];
    for (long child = archive.firstChild; child != ARCHIVE_NONE; child = m_pool[child].nextSibling)
        Release(child);
    archive.directory = sArchiveDirectory();
    archive.file.reset();
    archive.firstChild = ARCHIVE_NONE;
    archive.name[0] = '\0';
}

// The record counts as taken from here on: the front of parent's child list.
sArchiveInfo& CZRArchiveRegistry::Adopt(long parent, sArchiveDirectory&& directory)
{
    sArchiveInfo& archive = m_pool[m_count];
    archive = sArchiveInfo();
    archive.directory = std::move(directory);
    long& first = parent == ARCHIVE_NONE ? m_firstTopLevel : m_pool[parent].firstChild;
    archive.nextSibling = first;
    first = static_cast<long>(m_count++);
    return archive;
}

long CZRArchiveRegistry::IndexOf(const sArchiveInfo& archive) const
{
    return static_cast<long>(&archive - m_pool.get());
}
