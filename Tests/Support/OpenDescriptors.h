// What the process holds open, so a test can tell that a failed operation
// closed what it opened: descriptors read from /proc on Linux, the handle
// count on Windows. DescriptorLimit raises the per-process descriptor limit
// for one scope where the system has one.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#include <windows.h>
#else
#include <filesystem>

#include <sys/resource.h>
#endif

inline int OpenDescriptors()
{
#if defined(_WIN32)
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
#endif
}

class DescriptorLimit
{
public:
#if defined(_WIN32)
    explicit DescriptorLimit(std::size_t) {}
    bool Raised() const { return true; }   // handles have no per-process limit to speak of
#else
    explicit DescriptorLimit(std::size_t needed)
    {
        if (getrlimit(RLIMIT_NOFILE, &m_previous) != 0)
            return;
        if (m_previous.rlim_cur >= needed)
        {
            m_raised = true;
            return;
        }
        rlimit raised = m_previous;
        raised.rlim_cur = needed;
        m_changed = needed <= m_previous.rlim_max && setrlimit(RLIMIT_NOFILE, &raised) == 0;
        m_raised = m_changed;
    }
    ~DescriptorLimit()
    {
        if (m_changed)
            setrlimit(RLIMIT_NOFILE, &m_previous);
    }
    bool Raised() const { return m_raised; }

private:
    rlimit m_previous{};
    bool m_changed = false;
    bool m_raised = false;
#endif
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;
};
