// A host program built against the installed package only.
#include <Common/Common.h>

#include <cstdio>

static bool LoadText(long id, CZRString& text)
{
    text = id == 7 ? "seven" : "";
    return id == 7;
}

int main()
{
    s_pfnLoadString = &LoadText;
    CZRString text(CZRStringId(7));
    text += " / ";
    text.Format("%s %d", text.GetString(), 42);

    CZRCriticalSection lock;
    lock.Enter();
    CZREvent event;
    event.Signal();
    const bool signalled = event.TimedWait(0);
    lock.Leave();

    try
    {
        throw CXfsException(4008, __LINE__, "Source\\Common\\File\\ExtendedFileSystem", "x");
    }
    catch (const CZRException& e)
    {
        if (e.GetErrorCode() != 4008 || e.GetErrorClass() != 9)
            return 1;
    }
    std::printf("%s\n", text.GetString());
    return (text.Compare("seven /  42") == 0 && signalled) ? 0 : 1;
}
