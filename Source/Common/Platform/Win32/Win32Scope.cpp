// The per-thread state of lookup scopes, reached through a Windows TLS slot.
// It exists only while a scope is open: the outermost scope allocates it and
// frees it at its end, so a thread that ends keeps nothing behind.
#include "Common/Platform/Win32/Win32Scope.h"

#include <string>
#include <string_view>
#include <vector>

#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
// What one scope remembers at most; beyond it, lookups ask Windows again.
constexpr std::size_t kMaxRemembered = 64;

struct sScopeState
{
    int depth = 0;
    std::vector<std::string> missingNames;         // do not exist
    std::vector<std::string> missingDirectories;   // are not directories
};

DWORD ScopeSlot()
{
    static const DWORD s_slot = ::TlsAlloc();
    return s_slot;
}

sScopeState* State()
{
    const DWORD slot = ScopeSlot();
    if (slot == TLS_OUT_OF_INDEXES)
        return nullptr;
    const DWORD saved = ::GetLastError();   // TlsGetValue resets it
    auto* state = static_cast<sScopeState*>(::TlsGetValue(slot));
    ::SetLastError(saved);
    return state;
}

// Folded case, '\' separators, no trailing separator: one spelling per name.
std::string Key(const char* path)
{
    std::string key = Names::AsciiLowerCopy(path);
    for (char& c : key)
        c = Names::IsSeparator(c) ? '\\' : c;
    while (key.size() > 1 && key.back() == '\\')
        key.pop_back();
    return key;
}

bool IsBelow(const std::string& key, const std::string& directory)
{
    return key.size() > directory.size() && key.compare(0, directory.size(), directory) == 0 &&
           key[directory.size()] == '\\';
}

void Remember(std::vector<std::string>& list, std::string key)
{
    if (list.size() < kMaxRemembered)
        list.push_back(std::move(key));
}
} // namespace

namespace Scope
{

bool KnownMissing(const char* path)
{
    const sScopeState* state = State();
    if (state == nullptr || path == nullptr)
        return false;
    const std::string key = Key(path);
    for (const std::string& name : state->missingNames)
    {
        if (key == name)
        {
            SetLastError(Error::NotFound);
            return true;
        }
        if (IsBelow(key, name))
        {
            SetLastError(Error::PathNotFound);
            return true;
        }
    }
    for (const std::string& directory : state->missingDirectories)
    {
        if (IsBelow(key, directory))
        {
            SetLastError(Error::PathNotFound);
            return true;
        }
    }
    return false;
}

// PathNotFound says that the directory holding the name is missing (some
// directory on the way is), so names below that directory are missing too.
void NoteMissing(const char* path, Error error)
{
    sScopeState* state = State();
    if (state == nullptr || path == nullptr)
        return;
    std::string key = Key(path);
    if (error == Error::NotFound)
    {
        Remember(state->missingNames, std::move(key));
        return;
    }
    const std::size_t split = key.rfind('\\');
    if (error == Error::PathNotFound && split != std::string::npos && split > 0)
        Remember(state->missingDirectories, key.substr(0, split));
}

void Forget()
{
    if (sScopeState* state = State())
    {
        state->missingNames.clear();
        state->missingDirectories.clear();
    }
}

} // namespace Scope
} // namespace Win32

LookupScope::LookupScope()
{
    const DWORD slot = Win32::ScopeSlot();
    if (slot == TLS_OUT_OF_INDEXES)
        return;
    Win32::sScopeState* state = Win32::State();
    if (state == nullptr)
    {
        state = new Win32::sScopeState;
        ::TlsSetValue(slot, state);
    }
    ++state->depth;
}

LookupScope::~LookupScope()
{
    Win32::sScopeState* state = Win32::State();
    if (state == nullptr || --state->depth > 0)
        return;
    ::TlsSetValue(Win32::ScopeSlot(), nullptr);
    delete state;
}

} // namespace ZRPlatform
