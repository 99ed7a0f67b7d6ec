// CZRPipe: an anonymous pipe with both ends in one object. What the Write
// operations put in comes out of the Read operations in the same order, typically
// between a producer and a consumer thread of one process; HasData lets the
// consumer poll without blocking.
//
// Values travel as their little-endian bytes, with no separators: bool and char
// 1 byte, short 2, int, long and float 4 (long and unsigned long are cut to 32
// bits and a read sign- or zero-extends them, so the format is the same whatever
// the width of long), double 8. A text is a 32-bit signed length n and then its n
// bytes with no terminator; n below 1 is the length alone. Every typed transfer
// goes through the raw Read and Write, so a derived class can replace the byte
// transport and keep the format. The virtual operations are declared in the
// order of their interface slots.
//
// Read blocks until all the bytes asked for have arrived; it fails when the pipe
// breaks or its write end is closed first. The length of a text read is not
// trusted: its bytes are taken in bounded steps as they arrive, so memory grows
// with the bytes actually received, never with the length announced. A failed
// typed read leaves its target as it was. No operation throws.
//
// One thread may write while another reads. Close may be called while another
// thread is blocked in Read: it closes the write end first, which ends that Read
// with false. A copy holds second handles to the same pipe: it reads and writes
// the same bytes, and each object closes only its own handles.
#pragma once

#include <atomic>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/Time/ZRSyncFunctions.h"

class ZR_COMMON_API CZRPipe
{
public:
    CZRPipe();
    CZRPipe(const CZRPipe& other);
    CZRPipe& operator=(const CZRPipe& other);
    // Closes the pipe if it is open.
    virtual ~CZRPipe();

    // A new pipe with the system's buffer size; an open pipe is closed first.
    virtual bool Open();
    // Closes the write end, then the read end. Always true.
    virtual bool Close();

    virtual bool Read(bool& bValue);
    virtual bool Read(int& nValue);
    virtual bool Read(unsigned int& nValue);
    virtual bool Read(double& dValue);
    virtual bool Read(char& cValue);
    virtual bool Read(long& lValue);
    virtual bool Read(unsigned long& dwValue);
    virtual bool Read(float& fValue);
    virtual bool Read(unsigned short& wValue);
    virtual bool Read(short& sValue);
    // A length below 1 leaves str as it was; a failed read leaves it as it was too.
    virtual bool Read(CZRString& str);
    virtual bool Read(void* pData, unsigned long dwSize);

    virtual bool Write(bool bValue);
    virtual bool Write(int nValue);
    virtual bool Write(unsigned int nValue);
    virtual bool Write(double dValue);
    virtual bool Write(char cValue);
    virtual bool Write(long lValue);
    virtual bool Write(unsigned long dwValue);
    virtual bool Write(float fValue);
    virtual bool Write(unsigned short wValue);
    virtual bool Write(short sValue);
    virtual bool Write(const CZRString& str);
    // All dwSize bytes, waiting while the pipe is full.
    virtual bool Write(const void* pData, unsigned long dwSize);

    virtual bool IsOpen() const;

    // True when at least one byte is waiting; never blocks.
    bool HasData() const;

private:
    bool ReadLittleEndian(unsigned long long& nValue, unsigned long nWidth);
    bool WriteLittleEndian(unsigned long long nValue, unsigned long nWidth);
    bool ReadText(CZRString& str, long nLength);
    void CopyHandlesOf(const CZRPipe& other);

    [[noreturn]] void ThrowException(unsigned long nCode, unsigned long nLine, const char* pszFile,
                                     const char* pszMessage) const;

    std::atomic<ZRHANDLE> m_hRead;
    std::atomic<ZRHANDLE> m_hWrite;
};
