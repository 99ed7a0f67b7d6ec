// CZRVariableControllerBase: writes and reads one variable of a host record.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRFourCC.h"

class CZRDataStream;

// Base of the controllers a CZRDataFormat drives. It writes its four-character
// type tag; a derived controller adds its variable's data, finding the
// variable in the record through the value it was given (an offset, say).
// The tag is not checked on loading, only skipped.
class ZR_COMMON_API CZRVariableControllerBase
{
public:
    // typeTag is a number with the first character in its highest byte, as a
    // multi-character constant 'ABCD' is.
    CZRVariableControllerBase(int value, unsigned long typeTag);
    CZRVariableControllerBase(const CZRVariableControllerBase& other);
    CZRVariableControllerBase& operator=(const CZRVariableControllerBase& other);
    virtual ~CZRVariableControllerBase();

    // Storing: writes the type tag's 4 bytes. Loading: reads 4 bytes and
    // discards them. The record is not used here.
    virtual void Serialize(unsigned char* record, CZRDataStream& stream);

protected:
    int GetValue() const;
    const CZRFourCC& GetTypeTag() const;

private:
    CZRFourCC m_typeTag;
    int m_nValue;
};
