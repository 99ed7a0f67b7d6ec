#include "Common/File/FileIO.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRLittleEndian.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ExtendedFileSystem.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\File\\FileIO";

enum : unsigned long
{
    ERROR_INVALID_MODE = 4500,
    ERROR_NO_FILE = 4501,
};

const char* const kMessageInvalidMode = "Invalid file mode specified.";
const char* const kMessageNoFile = "No file is opened.";

constexpr std::uint32_t kNoHandle = 0;

// A numeric token with its delimiter (stored as the terminator) fits in here.
constexpr std::size_t kTokenSize = 16;

const char* const kIntegerFormat = "%i";
const char* const kFloatFormat = "%f";
const char* const kIntegerTextFormat = "%i; ";
const char* const kFloatTextFormat = "%.4f; ";

constexpr char kSlash = '/';
constexpr char kBackslash = '\\';
constexpr char kDoubleQuote = '"';
constexpr char kSemicolon = ';';
constexpr char kBlank = ' ';
constexpr char kTab = '\t';
constexpr char kLf = '\n';
constexpr char kCr = '\r';
constexpr unsigned char kHighBit = 0x80;
const char* const kCrLf = "\r\n";
const char* const kLineEnds = "\r\n";
const char* const kApostrophe = "'";
const char* const kCharTextEnd = "'; ";
const char* const kStringTextEnd = "\"; ";

CExtendedFileSystem& Xfs() { return *CExtendedFileSystem::Instance(); }

bool IsWhitespace(char c) { return c == kBlank || c == kLf || c == kCr || c == kTab; }

// A comment ends at a line end or at a byte with the high bit set (the first
// byte of a double-byte character or of a foreign code page's text).
bool EndsComment(char c)
{
    return c == kLf || c == kCr || (static_cast<unsigned char>(c) & kHighBit) != 0;
}

// The control character an escape letter stands for, or 0 for none.
char EscapedControl(char letter)
{
    switch (letter)
    {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    default: return 0;
    }
}

// The escape written for tab, LF and CR; null for every other character.
const char* EscapeOf(char c)
{
    switch (c)
    {
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    default: return nullptr;
    }
}

// Consumes the rest of a comment after its "//", the ending byte included.
bool SkipComment(CFileIO& file)
{
    char c = 0;
    do
    {
        if (!file.Read(c))
            return false;
    } while (!EndsComment(c));
    return true;
}

// Consumes everything up to and including the next semicolon.
bool SkipPastSemicolon(CFileIO& file)
{
    char c = 0;
    do
    {
        if (!file.Read(c))
            return false;
    } while (c != kSemicolon);
    return true;
}

// Appends the character of the escape "\letter".
void AppendEscaped(CZRString& text, char letter)
{
    if (letter == kDoubleQuote || letter == '\'' || letter == kBackslash)
        text += letter;
    else if (const char control = EscapedControl(letter))
        text += control;
    else
    {
        text += kBackslash;
        text += letter;
    }
}

bool ScanInteger(const char* token, int& value) { return STR_sscanf(token, kIntegerFormat, &value) == 1; }

// Reads a value stored as the fixed-width integer Wire. The read lands on the
// old value's bytes, so when the data ends inside the value only the bytes that
// arrived change (a memory file reports that as true, a disk file as false);
// with no byte read the value is left alone.
template <typename Wire, typename T>
bool ReadInteger(CFileIO& file, T& value)
{
    using Bits = std::make_unsigned_t<Wire>;
    unsigned char bytes[sizeof(Wire)];
    ZRLittleEndian::Encode(static_cast<Bits>(static_cast<Wire>(value)), bytes, sizeof bytes);
    unsigned char old[sizeof bytes];
    std::memcpy(old, bytes, sizeof old);
    const bool read = file.Read(bytes, sizeof bytes);
    if (read || std::memcmp(bytes, old, sizeof bytes) != 0)
        value = static_cast<T>(static_cast<Wire>(ZRLittleEndian::Decode(bytes, sizeof bytes)));
    return read;
}

// Writes value as the fixed-width integer Wire (a wider value as its low bytes).
template <typename Wire, typename T>
bool WriteInteger(CFileIO& file, T value)
{
    using Bits = std::make_unsigned_t<Wire>;
    unsigned char bytes[sizeof(Wire)];
    ZRLittleEndian::Encode(static_cast<Bits>(static_cast<Wire>(value)), bytes, sizeof bytes);
    return file.Write(bytes, sizeof bytes);
}

// Floating-point values travel as their IEEE-754 bits.
template <typename Bits, typename T>
bool ReadFloat(CFileIO& file, T& value)
{
    static_assert(sizeof(Bits) == sizeof(T), "bits of the same width");
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool read = ReadInteger<Bits>(file, bits);
    std::memcpy(&value, &bits, sizeof value);
    return read;
}

template <typename Bits, typename T>
bool WriteFloat(CFileIO& file, T value)
{
    static_assert(sizeof(Bits) == sizeof(T), "bits of the same width");
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    return WriteInteger<Bits>(file, bits);
}

bool WriteIntegerText(CFileIO& file, std::int32_t value)
{
    CZRString text;
    text.Format(kIntegerTextFormat, static_cast<int>(value));
    return file.WriteConstAscii(text);
}

// Puts the file back where a value of several pieces began unless all of them
// were written, so a failed write leaves no half value behind the position.
class CPositionGuard
{
public:
    explicit CPositionGuard(CFileIO& file) : m_file(file), m_position(file.GetFilePointerPos()) {}
    CPositionGuard(const CPositionGuard&) = delete;
    CPositionGuard& operator=(const CPositionGuard&) = delete;

    ~CPositionGuard()
    {
        if (m_bKept)
            return;
        try
        {
            m_file.SetFilePointerPos(m_position);
        }
        catch (const CZRException&)
        {
            // The caller already sees the operation's own failure.
        }
    }

    bool Keep(bool succeeded)
    {
        m_bKept = succeeded;
        return succeeded;
    }

private:
    CFileIO& m_file;
    unsigned long m_position;
    bool m_bKept = false;
};
} // namespace

// Life cycle

CFileIO::CFileIO() : m_nHandle(kNoHandle), m_nParsePosition(0) { XfsSetupOnDemand(); }

CFileIO::CFileIO(const CFileIO& other)
    : m_nHandle(other.m_nHandle), m_nParsePosition(other.m_nParsePosition)
{
}

CFileIO& CFileIO::operator=(const CFileIO& other)
{
    m_nHandle = other.m_nHandle;
    m_nParsePosition = other.m_nParsePosition;
    return *this;
}

CFileIO::~CFileIO()
{
    try
    {
        if (CFileIO::IsOpened())
        {
            CFileIO::Flush();
            CFileIO::Close();
        }
    }
    catch (const CZRException&)
    {
        // A destructor cannot report; the handle is given up either way.
    }
}

bool CFileIO::Open(const char* name, int mode)
{
    if (IsOpened())
    {
        Flush();
        Close();
    }
    m_nHandle = kNoHandle;
    if (mode & FILEMODE_READ)
        m_nHandle = Xfs().OpenFile(name);
    else if (mode & FILEMODE_WRITE)
        m_nHandle = Xfs().CreateFileA(name);
    else if (mode & FILEMODE_APPEND)
        m_nHandle = Xfs().AppendFile(name);
    else
        ThrowException(ERROR_INVALID_MODE, __LINE__, kSourceFile, kMessageInvalidMode);
    return m_nHandle != kNoHandle;
}

bool CFileIO::Close()
{
    RequireFile(__LINE__);
    const bool closed = Xfs().CloseFile(m_nHandle);
    if (closed)
        m_nHandle = kNoHandle;
    return closed;
}

bool CFileIO::Flush() { return m_nHandle != kNoHandle && Xfs().Flush(m_nHandle); }

// Binary reads

// Component by component, stopping at the first that fails; the components
// read before it keep their new values.
bool CFileIO::Read(vector4& value)
{
    return Read(value.x) && Read(value.y) && Read(value.z) && Read(value.w);
}
bool CFileIO::Read(vector3& value) { return Read(value.x) && Read(value.y) && Read(value.z); }
bool CFileIO::Read(vector2& value) { return Read(value.x) && Read(value.y); }

bool CFileIO::Read(char& value) { return ReadInteger<std::uint8_t>(*this, value); }
bool CFileIO::Read(int& value) { return ReadInteger<std::int32_t>(*this, value); }
bool CFileIO::Read(unsigned int& value) { return ReadInteger<std::uint32_t>(*this, value); }
bool CFileIO::Read(double& value) { return ReadFloat<std::uint64_t>(*this, value); }
bool CFileIO::Read(bool& value) { return ReadInteger<std::uint8_t>(*this, value); }
bool CFileIO::Read(long& value) { return ReadInteger<std::int32_t>(*this, value); }
bool CFileIO::Read(unsigned long& value) { return ReadInteger<std::uint32_t>(*this, value); }
bool CFileIO::Read(float& value) { return ReadFloat<std::uint32_t>(*this, value); }
bool CFileIO::Read(short& value) { return ReadInteger<std::int16_t>(*this, value); }
bool CFileIO::Read(unsigned short& value) { return ReadInteger<std::uint16_t>(*this, value); }

// The length is checked against the bytes left before anything is allocated,
// so a damaged length cannot ask for gigabytes: the text is read as far as the
// data goes and the read reports false, as any read cut short does. A length
// word cut short fails on every file (a memory file reports a short scalar as
// read), and a target that receives no text byte keeps its text. The text is
// read into the target's own buffer, so the target keeps its string id unless
// that buffer is too small and replaced.
bool CFileIO::Read(CZRString& value)
{
    const unsigned long position = GetFilePointerPos();
    const unsigned long size = GetSize();
    const unsigned long left = position < size ? size - position : 0;
    std::int32_t length = 0;
    if (!ReadInteger<std::int32_t>(*this, length) || left < sizeof length)
        return false;
    if (length <= 0)
    {
        value.Empty();
        return true;
    }
    const unsigned long wanted = static_cast<unsigned long>(length);
    const unsigned long count = std::min(wanted, left - static_cast<unsigned long>(sizeof length));
    if (count == 0)
        return false;
    char* bytes = value.GetBuffer(static_cast<int>(count));
    bool read = false;
    try
    {
        read = Read(bytes, count);
    }
    catch (...)
    {
        value.ReleaseBuffer(0); // no half-read text, and the lock count is restored
        throw;
    }
    value.ReleaseBuffer(static_cast<int>(count));
    return read && count == wanted;
}

// ReadFile stops at the end of the file: what was there is consumed and stays
// in buffer, and the read is false unless all size bytes arrived.
bool CFileIO::Read(void* buffer, unsigned long size)
{
    RequireFile(__LINE__);
    return size == 0 || Xfs().ReadFile(m_nHandle, buffer, size) == size;
}

int CFileIO::ReadRaw(void* buffer, unsigned long size, unsigned long count)
{
    RequireFile(__LINE__);
    return static_cast<int>(Xfs().ReadFile(m_nHandle, buffer, size * count));
}

// Binary writes

bool CFileIO::Write(const vector4& value)
{
    CPositionGuard guard(*this);
    return guard.Keep(Write(value.x) && Write(value.y) && Write(value.z) && Write(value.w));
}

bool CFileIO::Write(const vector3& value)
{
    CPositionGuard guard(*this);
    return guard.Keep(Write(value.x) && Write(value.y) && Write(value.z));
}

bool CFileIO::Write(const vector2& value)
{
    CPositionGuard guard(*this);
    return guard.Keep(Write(value.x) && Write(value.y));
}

bool CFileIO::Write(char value) { return WriteInteger<std::uint8_t>(*this, value); }
bool CFileIO::Write(int value) { return WriteInteger<std::int32_t>(*this, value); }
bool CFileIO::Write(unsigned int value) { return WriteInteger<std::uint32_t>(*this, value); }
bool CFileIO::Write(double value) { return WriteFloat<std::uint64_t>(*this, value); }
bool CFileIO::Write(bool value) { return WriteInteger<std::uint8_t>(*this, value); }
bool CFileIO::Write(long value) { return WriteInteger<std::int32_t>(*this, value); }
bool CFileIO::Write(unsigned long value) { return WriteInteger<std::uint32_t>(*this, value); }
bool CFileIO::Write(float value) { return WriteFloat<std::uint32_t>(*this, value); }
bool CFileIO::Write(short value) { return WriteInteger<std::int16_t>(*this, value); }
bool CFileIO::Write(unsigned short value) { return WriteInteger<std::uint16_t>(*this, value); }

bool CFileIO::Write(const CZRString& value)
{
    CPositionGuard guard(*this);
    const std::int32_t length = static_cast<std::int32_t>(value.GetLength());
    if (!WriteInteger<std::int32_t>(*this, length))
        return false;
    return guard.Keep(length < 1 || Write(value.GetString(), static_cast<unsigned long>(length)));
}

bool CFileIO::Write(const void* buffer, unsigned long size)
{
    RequireFile(__LINE__);
    return size == 0 || Xfs().WriteFile(m_nHandle, buffer, size) == size;
}

int CFileIO::WriteRaw(const void* buffer, unsigned long size, unsigned long count)
{
    RequireFile(__LINE__);
    return static_cast<int>(Xfs().WriteFile(m_nHandle, buffer, size * count));
}

// Text readers

bool CFileIO::ReadAscii(unsigned long& value, char delimiter)
{
    char token[kTokenSize];
    if (!ReadToken(token, delimiter))
        return false;
    int parsed = 0;
    if (ScanInteger(token, parsed))
        value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool CFileIO::ReadAscii(long& value, char delimiter)
{
    char token[kTokenSize];
    if (!ReadToken(token, delimiter))
        return false;
    int parsed = 0;
    if (ScanInteger(token, parsed))
        value = parsed;
    return true;
}

bool CFileIO::ReadAscii(float& value, char delimiter)
{
    char token[kTokenSize];
    if (!ReadToken(token, delimiter))
        return false;
    float parsed = 0.0f;
    if (STR_sscanf(token, kFloatFormat, &parsed) == 1)
        value = parsed;
    return true;
}

bool CFileIO::ReadAscii(int& value, char delimiter)
{
    char token[kTokenSize];
    if (!ReadToken(token, delimiter))
        return false;
    int parsed = 0;
    if (ScanInteger(token, parsed))
        value = parsed;
    return true;
}

bool CFileIO::ReadAscii(CZRString& value)
{
    if (!ReadConstAscii(kDoubleQuote))
        return false;
    value.Empty();
    bool escaped = false;
    for (;;)
    {
        char c = 0;
        if (!Read(c))
            return false;
        if (escaped)
        {
            AppendEscaped(value, c);
            escaped = false;
        }
        else if (c == kBackslash)
            escaped = true;
        else if (c == kDoubleQuote)
            return SkipPastSemicolon(*this);
        else
            value += c;
    }
}

bool CFileIO::ReadAscii(char& value, bool skipWhitespace)
{
    for (;;)
    {
        char c = 0;
        if (!Read(c))
            return false;
        if (c == kSlash)
        {
            const unsigned long afterSlash = GetFilePointerPos();
            char next = 0;
            if (Read(next) && next == kSlash)
            {
                if (!SkipComment(*this))
                    return false;
                skipWhitespace = true; // the text after a comment reads as after whitespace
                continue;
            }
            SetFilePointerPos(afterSlash);
        }
        if (skipWhitespace && IsWhitespace(c))
            continue;
        value = c;
        return true;
    }
}

// Whitespace and comments may stand before each character, not inside a
// double-byte one: its trail bytes must follow its lead byte directly.
bool CFileIO::ReadConstAscii(const CZRString& text)
{
    const char* p = text.GetString();
    const char* const end = p + text.GetLength();
    while (p < end)
    {
        const char* next = STR_strinc(p);
        if (next > end)
            next = end;
        if (!ReadConstAscii(*p))
            return false;
        for (const char* trail = p + 1; trail < next; ++trail)
        {
            char c = 0;
            if (!Read(c) || c != *trail)
                return false;
        }
        p = next;
    }
    return true;
}

bool CFileIO::ReadConstAscii(char expected)
{
    m_nParsePosition = static_cast<std::uint32_t>(GetFilePointerPos());
    char c = kBlank; // stays a blank at the end of the file
    ReadAscii(c, true);
    return c == expected;
}

bool CFileIO::ReadToken(char* token, char delimiter)
{
    m_nParsePosition = static_cast<std::uint32_t>(GetFilePointerPos());
    char c = 0;
    if (!ReadAscii(c, true))
        return false;
    std::size_t length = 0;
    while (c != delimiter)
    {
        if (length == kTokenSize - 1)
            return false; // no room left for the terminator
        token[length++] = c;
        if (!Read(c))
            return false;
    }
    token[length] = '\0';
    return true;
}

// Text writers

bool CFileIO::WriteAscii(long value) { return WriteIntegerText(*this, static_cast<std::int32_t>(value)); }

bool CFileIO::WriteAscii(unsigned long value)
{
    return WriteIntegerText(*this, static_cast<std::int32_t>(value));
}

bool CFileIO::WriteAscii(float value)
{
    CZRString text;
    text.Format(kFloatTextFormat, static_cast<double>(value));
    return WriteConstAscii(text);
}

bool CFileIO::WriteAscii(int value) { return WriteIntegerText(*this, value); }

bool CFileIO::WriteAscii(const CZRString& value)
{
    CPositionGuard guard(*this);
    return guard.Keep(WriteConstAscii(kDoubleQuote) && WriteConstAscii(value) &&
                      WriteConstAscii(CZRString(kStringTextEnd)));
}

bool CFileIO::WriteAscii(char value)
{
    CPositionGuard guard(*this);
    const char* const escape = EscapeOf(value);
    return guard.Keep(WriteConstAscii(CZRString(kApostrophe)) &&
                      (escape != nullptr ? WriteConstAscii(CZRString(escape)) : Write(value)) &&
                      WriteConstAscii(CZRString(kCharTextEnd)));
}

bool CFileIO::WriteConstAscii(char value)
{
    if (value == kLf)
        return Write(static_cast<const void*>(kCrLf), std::strlen(kCrLf));
    return Write(value);
}

bool CFileIO::WriteConstAscii(const CZRString& text)
{
    const long length = text.GetLength();
    return length == 0 || Write(static_cast<const void*>(text.GetString()), static_cast<unsigned long>(length));
}

bool CFileIO::Printf(const char* format, ...)
{
    RequireFile(__LINE__);
    va_list args;
    va_start(args, format);
    bool written = false;
    try
    {
        written = Xfs().VPrintf(m_nHandle, format, args);
    }
    catch (...)
    {
        va_end(args);
        throw;
    }
    va_end(args);
    return written;
}

bool CFileIO::ReadLine(char* buffer, unsigned long size)
{
    RequireFile(__LINE__);
    const bool read = Xfs().ReadLine(m_nHandle, buffer, size);
    if (char* lineEnd = STR_strpbrk(buffer, kLineEnds))
        *lineEnd = '\0';
    return read;
}

// Queries and positioning

bool CFileIO::IsOpened() { return m_nHandle != kNoHandle && Xfs().IsFileOpen(m_nHandle); }

bool CFileIO::IsEof() { return m_nHandle != kNoHandle && Xfs().IsEof(m_nHandle); }

bool CFileIO::SetFilePointerPos(unsigned long position)
{
    RequireFile(__LINE__);
    Xfs().Seek(m_nHandle, position);
    return true;
}

bool CFileIO::Skip(long delta)
{
    RequireFile(__LINE__);
    return Xfs().SeekCurrent(m_nHandle, delta);
}

unsigned long CFileIO::GetFilePointerPos()
{
    RequireFile(__LINE__);
    return Xfs().Tell(m_nHandle);
}

unsigned long CFileIO::GetSize()
{
    RequireFile(__LINE__);
    return Xfs().GetFileSize(m_nHandle);
}

void CFileIO::StepBack() { SetFilePointerPos(m_nParsePosition); }

bool CFileIO::FileExists(const char* name)
{
    XfsSetupOnDemand();
    return Xfs().FileExists(name);
}

// Private

void CFileIO::XfsSetupOnDemand()
{
    if (!Xfs().IsSetup())
        Xfs().Setup();
}

void CFileIO::RequireFile(unsigned long line) const
{
    if (m_nHandle == kNoHandle)
        ThrowException(ERROR_NO_FILE, line, kSourceFile, kMessageNoFile);
}

void CFileIO::ThrowException(unsigned long code, unsigned long line, const char* file,
                             const char* message) const
{
    throw CFileIOException(code, line, file, message);
}
