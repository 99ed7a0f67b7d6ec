// zrdemo: the records of the sample and their binary form.
#include "Records.h"

#include <cstdio>

#include "Common/File/FileIO.h"

sRecord MakeRecord(int i)
{
    static const char* const kKinds[] = {"crate", "barrel", "lamp", "rope"};
    char name[kMaxRecordName];
    std::snprintf(name, sizeof name, "%s-%02d", kKinds[i % 4], i);
    sRecord record;
    record.id = 1000 + i;
    record.name = name;
    record.position = {static_cast<float>(i % 8) * 2.0f, 0.5f, static_cast<float>(i / 8) * 3.0f};
    record.weight = 1.0f + static_cast<float>(i % 5) * 0.25f;
    return record;
}

bool WriteRecord(CFileIO& file, const sRecord& record)
{
    return file.Write(record.id) && file.Write(record.name) && file.Write(record.position) &&
           file.Write(record.weight);
}

bool ReadRecord(CFileIO& file, sRecord& record)
{
    return file.Read(record.id) && file.Read(record.name) &&
           record.name.GetLength() <= kMaxRecordName && file.Read(record.position) &&
           file.Read(record.weight);
}
