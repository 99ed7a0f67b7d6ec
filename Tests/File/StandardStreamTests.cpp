// FILE_SetBinaryMode and FILE_IsTerminal: the three standard streams and
// nothing else; on Windows the runtime's stream is binary afterwards.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>

#include "Common/File/FileFunctions.h"

TEST(StandardStreams, BinaryModeForTheThreeStreamsOnly)
{
    for (int stream : {-1, 3, 1000})
    {
        EXPECT_FALSE(FILE_SetBinaryMode(stream)) << stream;
        EXPECT_FALSE(FILE_IsTerminal(stream)) << stream;
    }
    for (int stream : {FILE_STDIN, FILE_STDOUT, FILE_STDERR})
        EXPECT_TRUE(FILE_SetBinaryMode(stream)) << stream;
#if defined(_WIN32)
    // Setting a mode returns the one before: binary, as FILE_SetBinaryMode left it.
    EXPECT_EQ(::_setmode(::_fileno(stdout), _O_TEXT), _O_BINARY);
#endif
}
