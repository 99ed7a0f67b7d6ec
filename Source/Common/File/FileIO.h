// CFileIO: the library's file object.
#pragma once

#include <cstdint>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRVector.h"

class CZRString;

// Open modes, tested as bits: READ wins over WRITE, WRITE over APPEND.
enum
{
    FILEMODE_READ = 1,
    FILEMODE_WRITE = 2,
    FILEMODE_APPEND = 4,
};

// One open file of the extended file system, so a name found under a root or
// inside an archive opens like a plain file. Every operation is a call on the
// extended file system with the handle of the open; the object holds no stream.
//
// Binary values are little-endian and unpadded: char and bool 1 byte, short 2,
// int, long, unsigned long and float 4 (a long as its low 32 bits), double 8,
// vectors as their floats in order, texts as a 32-bit signed length and the
// bytes. A binary read that meets the end of the file consumes what was left and
// reports false; the bytes that arrived are in the target (the first bytes of a
// value over its old ones, the components of a vector up to the one cut short,
// as much of a text as there was), and a target that got no byte is unchanged.
// A binary write of several pieces that fails leaves the position where the
// value began. The text format is values ending in ";" with "//" comments to the
// end of the line; text readers stop after the last byte they consumed, and
// StepBack returns to the start of the last token.
//
// Typed and text operations work only through the raw block Read and Write, so a
// derived class that overrides those two (CMemFileIO) carries all of them.
// Operations that need a file throw CFileIOException 4501 without one; errors
// of the extended file system pass through as CXfsException. Copies share the
// open file: whichever closes it first invalidates it for the other. One
// thread at a time.
class ZR_COMMON_API CFileIO
{
public:
    // Sets the extended file system up if that has not happened yet.
    CFileIO();
    CFileIO(const CFileIO& other);
    CFileIO& operator=(const CFileIO& other);
    // Flushes and closes an open file.
    virtual ~CFileIO();

    // Closes an open file first. Throws 4500 for a mode without any of the
    // three bits; a file that cannot be opened for reading throws CXfsException.
    virtual bool Open(const char* name, int mode);
    virtual bool Close();
    // False without a file or when the data could not be flushed.
    virtual bool Flush();

    virtual bool Read(vector4& value);
    virtual bool Read(vector3& value);
    virtual bool Read(vector2& value);
    virtual bool Read(char& value);
    virtual bool Read(int& value);
    virtual bool Read(unsigned int& value);
    virtual bool Read(double& value);
    virtual bool Read(bool& value);
    virtual bool Read(long& value);
    virtual bool Read(unsigned long& value);
    virtual bool Read(float& value);
    virtual bool Read(short& value);
    virtual bool Read(unsigned short& value);
    // A stored length of 0 or less gives an empty text. A length beyond the end
    // of the file is not allocated: the text holds the bytes up to the end and
    // the read is false.
    virtual bool Read(CZRString& value);
    // Reads up to size bytes, as many as the file still holds, and moves the
    // position past them; true when all size bytes were read.
    virtual bool Read(void* buffer, unsigned long size);
    // Reads up to size * count bytes; returns the bytes read (not items).
    virtual int ReadRaw(void* buffer, unsigned long size, unsigned long count);

    virtual bool Write(const vector4& value);
    virtual bool Write(const vector3& value);
    virtual bool Write(const vector2& value);
    virtual bool Write(char value);
    virtual bool Write(int value);
    virtual bool Write(unsigned int value);
    virtual bool Write(double value);
    virtual bool Write(bool value);
    virtual bool Write(long value);
    virtual bool Write(unsigned long value);
    virtual bool Write(float value);
    virtual bool Write(short value);
    virtual bool Write(unsigned short value);
    virtual bool Write(const CZRString& value);
    virtual bool Write(const void* buffer, unsigned long size);
    virtual int WriteRaw(const void* buffer, unsigned long size, unsigned long count);
    // Texts are written as CZRString; a bare C string would silently become a bool.
    bool Write(const char* text) = delete;

    // Numbers up to delimiter, as sscanf "%i" (decimal, 0x hexadecimal, 0
    // octal) or "%f" reads them. True once the delimiter was read, even when the
    // text is no number (the target then keeps its value). False at the end of
    // the file, and for a token of more than 15 characters, which is read no
    // further than its 16th character.
    virtual bool ReadAscii(unsigned long& value, char delimiter);
    virtual bool ReadAscii(long& value, char delimiter);
    virtual bool ReadAscii(float& value, char delimiter);
    virtual bool ReadAscii(int& value, char delimiter);
    // A double-quoted text with C escapes, then everything through the next ";".
    virtual bool ReadAscii(CZRString& value);
    // The next character, comments removed; blanks, tabs and line ends skipped
    // when skipWhitespace is set.
    virtual bool ReadAscii(char& value, bool skipWhitespace);
    // True when the next characters, with whitespace and comments allowed
    // before each, are those of text.
    virtual bool ReadConstAscii(const CZRString& text);
    virtual bool ReadConstAscii(char expected);

    // "%i; " (long and unsigned long as their low 32 bits, signed).
    virtual bool WriteAscii(long value);
    virtual bool WriteAscii(unsigned long value);
    // "%.4f; "
    virtual bool WriteAscii(float value);
    virtual bool WriteAscii(int value);
    // In double quotes, unescaped, then "; ".
    virtual bool WriteAscii(const CZRString& value);
    // In apostrophes, tab, LF and CR as \t, \n and \r, then "; ".
    virtual bool WriteAscii(char value);
    // The character itself; LF is written as CR LF.
    virtual bool WriteConstAscii(char value);
    virtual bool WriteConstAscii(const CZRString& text);

    virtual bool Printf(const char* format, ...);
    // One line of at most size - 1 bytes, without its line end.
    virtual bool ReadLine(char* buffer, unsigned long size);

    virtual bool IsOpened();
    virtual bool IsEof();
    virtual bool SetFilePointerPos(unsigned long position);
    virtual bool Skip(long delta);
    virtual unsigned long GetFilePointerPos();
    virtual unsigned long GetSize();
    // Back to where the last token reader started its token.
    virtual void StepBack();

    // Looks name up as Open for reading does, without keeping it open.
    static bool FileExists(const char* name);

private:
    static void XfsSetupOnDemand();
    // Throws 4501 without a file.
    void RequireFile(unsigned long line) const;
    // Records the parse position, then reads up to delimiter into token.
    bool ReadToken(char* token, char delimiter);
    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;

    std::uint32_t m_nHandle;
    std::uint32_t m_nParsePosition;
};
