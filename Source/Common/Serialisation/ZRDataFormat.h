// CZRDataFormat: a named, versioned description of a host record.
#pragma once

#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

class CZRDataStream;
class CZRVariableControllerBase;

// Saves a record as the tag 'F', the format's name, its current version and
// then every controller's data in the order added. Loading reads back only the
// variables that already existed in the stored version, so records written by
// older programs stay loadable; the others keep their values. A wrong tag or
// a different name (compared case-sensitively) ends loading quietly.
//
// Controllers are referenced, not owned, and must outlive the format; copies
// share the controllers but not the list.
class ZR_COMMON_API CZRDataFormat
{
public:
    CZRDataFormat(const CZRString& name, int version);
    CZRDataFormat(const CZRDataFormat& other);
    CZRDataFormat& operator=(const CZRDataFormat& other);
    virtual ~CZRDataFormat();

    // version: the format version in which the variable first appeared.
    virtual void AddVariable(int version, CZRVariableControllerBase& controller);
    // Saves when the stream is storing, loads otherwise. record is passed
    // unchanged to every controller.
    virtual void Serialize(unsigned char* record, CZRDataStream& stream);

private:
    struct sVariableEntry
    {
        int nVersion;
        CZRVariableControllerBase* pController;
    };

    void SaveData(unsigned char* record, CZRDataStream& stream);
    void LoadData(unsigned char* record, CZRDataStream& stream);

    std::vector<sVariableEntry> m_variables;
    int m_nVersion;
    CZRString m_name;
};
