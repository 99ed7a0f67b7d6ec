// CZRClassType: a hand-made run-time type record.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

// A class name and a link to the record of the parent class. Records are meant
// to be static objects, one per class; a type is identified by the address of
// its record, never by its name, so a copy is a different type with the same
// name. The parent is referenced, not owned, and must outlive this record.
class ZR_COMMON_API CZRClassType
{
public:
    // A root type.
    explicit CZRClassType(const char* name);
    CZRClassType(const char* name, const CZRClassType& parent);
    CZRClassType(const CZRClassType& other);
    virtual ~CZRClassType();

    // Copies the parent link and the name.
    CZRClassType& operator=(const CZRClassType& other);

    // Null when the name never held text.
    const char* GetName() const;
    operator const char*() const;
    operator CZRString() const;
    operator const CZRString&() const;

    // Only for a type that has a parent.
    const CZRClassType& GetParentType() const;
    // True when other is this record or one of its ancestors.
    bool IsDerivedFrom(const CZRClassType& other) const;
    // The names from the root down to this type, each followed by "/".
    CZRString GetFullName() const;

private:
    const CZRClassType* m_pParent;
    CZRString m_name;
};
