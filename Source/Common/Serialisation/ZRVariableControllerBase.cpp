#include "Common/Serialisation/ZRVariableControllerBase.h"

#include "Common/File/ZRDataStream.h"

CZRVariableControllerBase::CZRVariableControllerBase(int value, unsigned long typeTag)
    : m_typeTag(typeTag), m_nValue(value)
{
}

CZRVariableControllerBase::CZRVariableControllerBase(const CZRVariableControllerBase& other)
    : m_typeTag(other.m_typeTag), m_nValue(other.m_nValue)
{
}

CZRVariableControllerBase& CZRVariableControllerBase::operator=(const CZRVariableControllerBase& other)
{
    m_typeTag = other.m_typeTag;
    m_nValue = other.m_nValue;
    return *this;
}

CZRVariableControllerBase::~CZRVariableControllerBase() = default;

void CZRVariableControllerBase::Serialize(unsigned char* /*record*/, CZRDataStream& stream)
{
    if (stream.IsStoring())
    {
        stream << m_typeTag;
        return;
    }
    CZRFourCC ignored;
    stream >> ignored;
}

int CZRVariableControllerBase::GetValue() const { return m_nValue; }

const CZRFourCC& CZRVariableControllerBase::GetTypeTag() const { return m_typeTag; }
