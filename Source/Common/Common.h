// Umbrella header: every public header of the library.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/Core/ZRException.h"

#include "Common/Time/ZRSyncFunctions.h"
#include "Common/Time/ZRCriticalSection.h"
#include "Common/Time/ZRMutex.h"
#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRSemaphore.h"
