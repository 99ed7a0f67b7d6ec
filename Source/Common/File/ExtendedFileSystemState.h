// What CExtendedFileSystem keeps behind its public header, and the helpers
// that keep the file cause (FILE_GetLastError) meaningful across its
// exceptions. Internal to the library.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Common/Core/ZRString.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveRegistry.h"

// Roots, callbacks and registered archives. Each root lives in storage of its
// own, so a reference to it survives roots being added. Copies are deep.
struct CExtendedFileSystem::sState
{
    sState() = default;
    sState(const sState& other);
    sState& operator=(const sState& other) = delete;

    // A root as added, and the text a name is appended to when it is tried
    // there: the root joined as a path with an empty name, in backslashes.
    struct sRoot
    {
        CZRString text;
        std::string prefix;
    };
    std::vector<std::unique_ptr<const sRoot>> roots;
    std::vector<sCallback> callbacks;
    CZRArchiveRegistry archives;
};

// Clears the calling thread's cause before a file call whose failure is
// reported: the cause after the failure is then that call's own, or none
// when the call records none (the data simply ended).
inline void ClearFileCause() { FILE_SetLastError(FILE_ERROR_NONE); }

// For cleanup after a failure (closing streams, restoring the directory):
// whatever the calls in its scope record, the cause on leaving is the one on
// entering, so the failure's cause survives.
class CKeepFileCause
{
public:
    CKeepFileCause() : m_cause(FILE_GetLastError()) {}
    ~CKeepFileCause() { FILE_SetLastError(m_cause); }
    CKeepFileCause(const CKeepFileCause&) = delete;
    CKeepFileCause& operator=(const CKeepFileCause&) = delete;

private:
    eFileError m_cause;
};

// An operation that returns normally leaves the cause as it found it, unless
// it reports a failure by its result (Failed). One that throws leaves the
// cause its exception was raised with.
class CCauseOnSuccess
{
public:
    CCauseOnSuccess() : m_cause(FILE_GetLastError()), m_exceptions(std::uncaught_exceptions()) {}
    ~CCauseOnSuccess()
    {
        if (m_bRestore && std::uncaught_exceptions() == m_exceptions)
            FILE_SetLastError(m_cause);
    }
    CCauseOnSuccess(const CCauseOnSuccess&) = delete;
    CCauseOnSuccess& operator=(const CCauseOnSuccess&) = delete;

    // The result reports a failure: the cause stays for the caller.
    template <typename T> T Failed(T result)
    {
        m_bRestore = false;
        return result;
    }

private:
    eFileError m_cause;
    int m_exceptions;
    bool m_bRestore = true;
};
