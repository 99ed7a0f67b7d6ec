#include "Common/Serialisation/ZRDataFormat.h"

#include "Common/File/ZRDataStream.h"
#include "Common/Serialisation/ZRVariableControllerBase.h"

namespace
{
// First byte of every saved record.
constexpr char kFormatTag = 'F';
} // namespace

CZRDataFormat::CZRDataFormat(const CZRString& name, int version)
    : m_nVersion(version), m_name(name)
{
}

CZRDataFormat::CZRDataFormat(const CZRDataFormat& other)
    : m_variables(other.m_variables), m_nVersion(other.m_nVersion), m_name(other.m_name)
{
}

CZRDataFormat& CZRDataFormat::operator=(const CZRDataFormat& other)
{
    if (this != &other)
    {
        m_variables = other.m_variables;
        m_nVersion = other.m_nVersion;
        m_name = other.m_name;
    }
    return *this;
}

CZRDataFormat::~CZRDataFormat() = default;

void CZRDataFormat::AddVariable(int version, CZRVariableControllerBase& controller)
{
    m_variables.push_back(sVariableEntry{version, &controller});
}

void CZRDataFormat::Serialize(unsigned char* record, CZRDataStream& stream)
{
    if (stream.IsStoring())
        SaveData(record, stream);
    else
        LoadData(record, stream);
}

void CZRDataFormat::SaveData(unsigned char* record, CZRDataStream& stream)
{
    stream << kFormatTag << m_name << m_nVersion;
    for (const sVariableEntry& entry : m_variables)
        entry.pController->Serialize(record, stream);
}

void CZRDataFormat::LoadData(unsigned char* record, CZRDataStream& stream)
{
    char tag = 0;
    stream >> tag;
    if (tag != kFormatTag)
        return;
    CZRString name;
    stream >> name;
    if (name.Compare(m_name.GetString()) != 0)
        return;
    int storedVersion = 0;
    stream >> storedVersion;
    for (const sVariableEntry& entry : m_variables)
    {
        if (entry.nVersion <= storedVersion)
            entry.pController->Serialize(record, stream);
    }
}
