// The library's exception family: errors a caller is not expected to test for.
//
// An exception holds everything inside itself (two 256-byte texts, no heap), so
// constructing, copying and destroying one cannot fail, and it stays valid after
// the thrower's stack is gone. Derived classes only fix the error class.
#pragma once

#include "Common/Core/ZRExport.h"

// Category of an error. The library uses 9, 10 and 14; other values are free for
// the host's own exceptions.
enum eErrorClass : int
{
    eErrorClassFile = 9,        // files, memory files, the file system, parameter lists
    eErrorClassChannel = 10,    // mail slots and pipes
    eErrorClassDataStream = 14, // data streams
};

class ZR_COMMON_API CZRException
{
public:
    static constexpr int TEXT_SIZE = 256;

    // Texts longer than 255 bytes are cut (never inside a double-byte character);
    // a null message is stored as "". file must not be null.
    CZRException(eErrorClass errorClass, unsigned long code, unsigned long line,
                 const char* file, const char* message);
    CZRException(const CZRException& other);
    CZRException& operator=(const CZRException& other);

    virtual const char* GetErrorString() const;
    virtual const char* GetFileName() const;
    virtual unsigned long GetLine() const;
    virtual eErrorClass GetErrorClass() const;
    virtual unsigned long GetErrorCode() const;

private:
    eErrorClass m_errorClass;
    unsigned long m_errorCode;
    unsigned long m_line;
    char m_szErrorString[TEXT_SIZE];
    char m_szFileName[TEXT_SIZE];
};

// Each derived class: one constructor (code, line, file, message) with its fixed
// error class; copies as the base.
#define ZR_DECLARE_EXCEPTION(ClassName)                                                    \
    class ZR_COMMON_API ClassName : public CZRException                                    \
    {                                                                                      \
    public:                                                                                \
        ClassName(unsigned long code, unsigned long line, const char* file,                \
                  const char* message);                                                    \
        ClassName(const ClassName& other) = default;                                       \
        ClassName& operator=(const ClassName& other) = default;                            \
    }

ZR_DECLARE_EXCEPTION(CFileIOException);       // 9: CFileIO, 4500-4501
ZR_DECLARE_EXCEPTION(CMemFileIOException);    // 9: CMemFileIO, 4600-4602
ZR_DECLARE_EXCEPTION(CXfsException);          // 9: CExtendedFileSystem, 4001-4016
ZR_DECLARE_EXCEPTION(CZRDataStreamException); // 14: CZRDataStream, 5000-5003
ZR_DECLARE_EXCEPTION(CMailSlotException);     // 10: CZRMailSlot, 5000-5003
ZR_DECLARE_EXCEPTION(CZRPipeException);       // 10: CZRPipe, no codes assigned
ZR_DECLARE_EXCEPTION(CZRParamsException);     // 9: CZRParams, 6001-6003

#undef ZR_DECLARE_EXCEPTION
