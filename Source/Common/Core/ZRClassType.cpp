#include "Common/Core/ZRClassType.h"

namespace
{
constexpr const char kNameSeparator[] = "/";
} // namespace

CZRClassType::CZRClassType(const char* name) : m_pParent(nullptr), m_name(name) {}

CZRClassType::CZRClassType(const char* name, const CZRClassType& parent)
    : m_pParent(&parent), m_name(name)
{
}

CZRClassType::CZRClassType(const CZRClassType& other)
    : m_pParent(other.m_pParent), m_name(other.m_name)
{
}

CZRClassType::~CZRClassType() = default;

CZRClassType& CZRClassType::operator=(const CZRClassType& other)
{
    m_pParent = other.m_pParent;
    m_name = other.m_name;
    return *this;
}

const char* CZRClassType::GetName() const { return m_name.GetString(); }

CZRClassType::operator const char*() const { return GetName(); }

CZRClassType::operator CZRString() const { return m_name; }

CZRClassType::operator const CZRString&() const { return m_name; }

const CZRClassType& CZRClassType::GetParentType() const { return *m_pParent; }

bool CZRClassType::IsDerivedFrom(const CZRClassType& other) const
{
    for (const CZRClassType* type = this; type != nullptr; type = type->m_pParent)
    {
        if (type == &other)
            return true;
    }
    return false;
}

CZRString CZRClassType::GetFullName() const
{
    CZRString result;
    for (const CZRClassType* type = this; type != nullptr; type = type->m_pParent)
        result = type->m_name + kNameSeparator + result;
    return result;
}
