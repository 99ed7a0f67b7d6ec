// Caps the process's address space for one scope at what it maps now plus a
// margin, so that work which would take gigabytes fails instead of passing
// slowly. Sanitized builds map their shadow memory as they go and run without
// the cap, as do systems other than Linux.
#pragma once

#if defined(__linux__)
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define ZR_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZR_TEST_SANITIZED 1
#endif

class AddressSpaceCap
{
public:
#if defined(__linux__) && !defined(ZR_TEST_SANITIZED)
    AddressSpaceCap()
    {
        constexpr unsigned long kMargin = 256ul << 20;
        std::ifstream statm("/proc/self/statm");
        unsigned long pages = 0;
        if (statm >> pages && getrlimit(RLIMIT_AS, &m_previous) == 0)
        {
            rlimit capped = m_previous;
            capped.rlim_cur = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + kMargin;
            m_active = capped.rlim_cur < m_previous.rlim_cur && setrlimit(RLIMIT_AS, &capped) == 0;
        }
    }
    ~AddressSpaceCap()
    {
        if (m_active)
            setrlimit(RLIMIT_AS, &m_previous);
    }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;

private:
    rlimit m_previous{};
    bool m_active = false;
#else
    AddressSpaceCap() {}
    ~AddressSpaceCap() {}
#endif
};
