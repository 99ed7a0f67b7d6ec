// CZRMailSlot: one end of a mail slot, sending or receiving small binary messages.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Time/ZRSyncFunctions.h"

class CZRString;

// A server end creates the slot and reads from it; a client end opens a slot
// by name ("\\.\mailslot\NAME", or "\\*\mailslot\NAME" to broadcast: sent
// whether or not anybody serves the name) and writes to it. A message is built
// in a 400-byte buffer: BeginWrite, Write calls, EndWrite sends the bytes
// written as one message; BeginRead receives one message, Read calls take the
// values out in the same order, EndRead ends it.
//
// Message layout: the values in the order written, unpadded and untagged. Raw
// values are their bytes; a text is a 32-bit signed little-endian length n
// followed by its n bytes, without terminator (only the length for n below 1).
//
// Errors throw CMailSlotException (error class 10): 5000 Open fails, 5001
// BeginRead/BeginWrite on a closed object, 5002 Read past the 400 bytes, 5003
// Write past the 400 bytes or a message the system refuses. A failed Read or
// Write leaves buffer and cursor as they were. A received length is checked
// against the bytes left in the buffer before anything is copied, so a
// message cannot make a Read allocate or copy more than the buffer holds.
//
// Open on an open object closes its handle first. A copy holds a duplicate of
// the handle (and copies of buffer, cursor and totals), so each object closes
// only its own handle and a copy outlives the original. The totals are 32-bit
// counters (they wrap at 2^32). One thread at a time.
class ZR_COMMON_API CZRMailSlot
{
public:
    static constexpr unsigned long MESSAGE_BUFFER_SIZE = 400;
    // GetMessageSize when no message is waiting (MAILSLOT_NO_MESSAGE).
    static constexpr unsigned long NO_MESSAGE = 0xFFFFFFFFUL;

    CZRMailSlot();
    CZRMailSlot(const CZRMailSlot& other);
    CZRMailSlot& operator=(const CZRMailSlot& other);
    virtual ~CZRMailSlot();

    // Creates the slot (server: never waits to read, any message size) or opens
    // an existing one (client). True, or throws 5000.
    bool Open(const char* pszName, bool bServer);
    // False when not open.
    bool Close();
    bool IsOpened() const;

    // Throws 5001 when not open; clears the buffer and the cursor.
    void BeginWrite();
    bool Write(const void* pData, unsigned long dwSize);
    bool Write(const CZRString& str);
    // Sends the bytes written so far; throws 5003 when the system refuses them
    // (a closed object or a server end included).
    void EndWrite();

    // Throws 5001 when not open. Receives the next message into the cleared
    // buffer; without one (or with one too large for the buffer) the buffer
    // stays zero. Reading past what arrived gives zero bytes and empty texts.
    void BeginRead();
    bool Read(void* pData, unsigned long dwSize);
    // A length below 1 leaves str as it was.
    bool Read(CZRString& str);
    void EndRead();
    // Throws 5001 when not open. Takes the next message off a server end
    // unread, whatever its size: the way past a message too large for the
    // buffer, which BeginRead leaves first in the slot. Buffer, cursor and
    // totals stay as they were. False when no message is waiting, and for a
    // client end.
    bool SkipMessage();

    // False for a client end, without asking the system.
    bool AreMessagesWaiting() const;
    // As the system reports them; 0 when it cannot be asked (a client end).
    unsigned long GetMaxMessageSize() const;
    unsigned long GetMessageSize() const;
    unsigned long GetTotalBytesWritten() const;
    unsigned long GetTotalBytesRead() const;

private:
    [[noreturn]] void ThrowException(unsigned long nCode, unsigned long nLine, const char* pszFile,
                                     const char* pszMessage) const;
    void CheckOpened() const;
    void CopyFrom(const CZRMailSlot& other);

    ZRHANDLE m_hMailSlot;
    bool m_bServer;
    unsigned long m_dwTotalBytesWritten;
    unsigned long m_dwTotalBytesRead;
    unsigned char m_aBuffer[MESSAGE_BUFFER_SIZE];
    unsigned long m_dwCursor;
};
