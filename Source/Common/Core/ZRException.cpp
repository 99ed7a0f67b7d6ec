#include "Common/Core/ZRException.h"

#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRStrFunctions.h"

namespace
{
// Copies text into a TEXT_SIZE array, cut to 255 bytes and always terminated.
void CopyText(char (&dst)[CZRException::TEXT_SIZE], const char* text)
{
    STR_strncpy(dst, text != nullptr ? text : "", CZRException::TEXT_SIZE - 1);
    dst[CZRException::TEXT_SIZE - 1] = '\0';
}
} // namespace

CZRException::CZRException(eErrorClass errorClass, unsigned long code, unsigned long line,
                           const char* file, const char* message)
    : m_errorClass(errorClass), m_errorCode(code), m_line(line)
{
    CopyText(m_szFileName, file);
    CopyText(m_szErrorString, message);
}

CZRException::CZRException(const CZRException& other) { *this = other; }

CZRException& CZRException::operator=(const CZRException& other)
{
    m_errorClass = other.m_errorClass;
    m_errorCode = other.m_errorCode;
    m_line = other.m_line;
    MEM_Copy(m_szErrorString, other.m_szErrorString, TEXT_SIZE);
    MEM_Copy(m_szFileName, other.m_szFileName, TEXT_SIZE);
    return *this;
}

const char* CZRException::GetErrorString() const { return m_szErrorString; }
const char* CZRException::GetFileName() const { return m_szFileName; }
unsigned long CZRException::GetLine() const { return m_line; }
eErrorClass CZRException::GetErrorClass() const { return m_errorClass; }
unsigned long CZRException::GetErrorCode() const { return m_errorCode; }

#define ZR_DEFINE_EXCEPTION(ClassName, errorClass)                                          \
    ClassName::ClassName(unsigned long code, unsigned long line, const char* file,          \
                         const char* message)                                               \
        : CZRException(errorClass, code, line, file, message)                               \
    {                                                                                       \
    }

ZR_DEFINE_EXCEPTION(CFileIOException, eErrorClassFile)
ZR_DEFINE_EXCEPTION(CMemFileIOException, eErrorClassFile)
ZR_DEFINE_EXCEPTION(CXfsException, eErrorClassFile)
ZR_DEFINE_EXCEPTION(CZRDataStreamException, eErrorClassDataStream)
ZR_DEFINE_EXCEPTION(CMailSlotException, eErrorClassChannel)
ZR_DEFINE_EXCEPTION(CZRPipeException, eErrorClassChannel)
ZR_DEFINE_EXCEPTION(CZRParamsException, eErrorClassFile)
