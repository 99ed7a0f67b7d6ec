// The public classes' constants, defined once in the library. A constant a
// host binds to a reference (EXPECT_EQ, std::min) needs one definition; a DLL's
// importers look for it in the DLL's import table, so each is used here, which
// makes the compiler emit it with its class's export.
#include "Common/Common.h"

// External, so that the compiler keeps it and every constant it names.
extern const void* const g_zrClassConstants[];
const void* const g_zrClassConstants[] = {
    &CZRException::TEXT_SIZE,
    &CZRFourCC::CODE_LENGTH,
    &CZRPath::DRIVE_COUNT,
    &CZRPath::NO_DRIVE,
    &CZRLzrwCompressor::COMPRESSION_MARGIN,
    &CExtendedFileSystem::MAX_OPEN_FILES,
    &CExtendedFileSystem::MAX_ARCHIVES,
    &CExtendedFileSystem::INVALID_HANDLE,
    &CMemFileIO::DEFAULT_GROW_SIZE,
    &CZRFileScanner::THREAD_PRIORITY_ERROR,
    &CZRTimer::NUM_CHANNELS,
    &CZRTimer::TIME_EVENT_PERIODIC,
    &CZRMailSlot::MESSAGE_BUFFER_SIZE,
    &CZRMailSlot::NO_MESSAGE,
    &CZRProfiler::DEFAULT_MAX_SAMPLES,
    &CZRProfileData::NAME_LENGTH,
    &CZRFrameTrace::NAME_LENGTH,
    &CZRFrameTrace::MAX_DEPTH,
    &CZRFrameTrace::MAX_FRAMES,
    &CZRFrameTrace::MAX_SECTIONS_PER_FRAME,
    &CZRFrameTrace::MAX_SECTIONS,
    &CZRDebugStatistics::MAX_COMMAND_LENGTH,
};
