// zrdemo: the binary record file, as the assets step writes it and the
// streaming loader of the frames reads it back: the count (4 bytes), then per
// record its id, name, position and weight in CFileIO's binary form.
#pragma once

#include "Common/Core/ZRString.h"
#include "Common/Core/ZRVector.h"

class CFileIO;

struct sRecord
{
    int id = 0;
    CZRString name;
    vector3 position{0, 0, 0};
    float weight = 0;
};

// The longest name an intact record file holds.
constexpr long kMaxRecordName = 32;

// Record i of the sample: the same on every run.
sRecord MakeRecord(int i);
bool WriteRecord(CFileIO& file, const sRecord& record);
// False at the end of the file or for a name longer than kMaxRecordName.
bool ReadRecord(CFileIO& file, sRecord& record);
