// Umbrella header: every public header of the library.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/Core/ZRException.h"
#include "Common/Core/ZRFourCC.h"
#include "Common/Core/ZRClassType.h"
#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRVector.h"

#include "Common/File/ZRDataStream.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileIO.h"
#include "Common/File/MemFileIO.h"
#include "Common/File/ZRArchive.h"
#include "Common/File/ZRArchiveReader.h"
#include "Common/File/ZRFileScanner.h"

#include "Common/Serialisation/ZRBitArray.h"
#include "Common/Serialisation/ZRBitStream.h"
#include "Common/Serialisation/ZRCompressor.h"
#include "Common/Serialisation/ZRLzrwCompressor.h"
#include "Common/Serialisation/ZRVariableControllerBase.h"
#include "Common/Serialisation/ZRDataFormat.h"

#include "Common/Property/ZRProperty.h"
#include "Common/Property/ZRParams.h"
#include "Common/Property/ZRPropertyManager.h"

#include "Common/TextParsing/StringTokenizer.h"
#include "Common/TextParsing/LexAnalyzer.h"

#include "Common/Time/ZRSyncFunctions.h"
#include "Common/Time/ZRCriticalSection.h"
#include "Common/Time/ZRLockGuard.h"
#include "Common/Time/ZRMutex.h"
#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRSemaphore.h"
#include "Common/Time/ZRTimer.h"
#include "Common/Time/ZRThread.h"
#include "Common/Time/ZRPipe.h"

#include "Common/MailSlot/ZRMailSlot.h"

#include "Common/Diagnostics/ZRLog.h"
#include "Common/Diagnostics/ZRDebugFunctions.h"
