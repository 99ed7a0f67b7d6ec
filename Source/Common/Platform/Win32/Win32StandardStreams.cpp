// The C runtime's standard streams on Windows: text mode turns every line feed
// written into CR LF (and the reverse on reading), so a tool that passes file
// contents through stdout switches the stream to binary mode first. Only code
// for Windows goes here.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
bool StandardStreamSetBinary(StandardStream stream)
{
    std::FILE* const file = stream == StandardStream::Input    ? stdin
                            : stream == StandardStream::Output ? stdout
                                                               : stderr;
    std::fflush(file);
    return ::_setmode(::_fileno(file), _O_BINARY) != -1;
}
} // namespace ZRPlatform
