#include "Common/Property/PropertyFormat.h"

#include <cstring>

namespace
{
constexpr char kPercent = '%';
constexpr const char* kFlags = "-+ #0";
constexpr const char* kIntegerConversions = "diuxXoc";
constexpr const char* kLongIntegerConversions = "diuxXo";
constexpr const char* kFloatConversions = "fFeEgGaA";
constexpr char kTextConversion = 's';
// CZRString::Format keeps at most 1,023 bytes, so a wider field or a longer
// precision could only be cut; refusing them also spares printf from making
// millions of characters that would be thrown away.
constexpr int kLargestField = 1023;

enum class eLength
{
    None,
    Short, // h
    Char,  // hh
    Long,  // l
};

bool IsOneOf(char ch, const char* set) { return ch != '\0' && std::strchr(set, ch) != nullptr; }

// The digits of a width or a precision; false when they exceed kLargestField.
bool SkipField(const char*& p)
{
    for (int value = 0; *p >= '0' && *p <= '9'; ++p)
    {
        value = value * 10 + (*p - '0');
        if (value > kLargestField)
            return false;
    }
    return true;
}

eLength ReadLength(const char*& p)
{
    if (*p == 'h')
    {
        ++p;
        if (*p != 'h')
            return eLength::Short;
        ++p;
        return eLength::Char;
    }
    if (*p == 'l')
    {
        ++p;
        return eLength::Long;
    }
    return eLength::None;
}

bool Fits(char conversion, eLength length, ePropertyArgument argument)
{
    switch (argument)
    {
    case ePropertyArgument::Integer:
        return IsOneOf(conversion, length == eLength::Long ? kLongIntegerConversions
                                                           : kIntegerConversions);
    case ePropertyArgument::Float:
        return (length == eLength::None || length == eLength::Long) &&
               IsOneOf(conversion, kFloatConversions);
    case ePropertyArgument::Text:
        return length == eLength::None && conversion == kTextConversion;
    }
    return false;
}

// One conversion, p just after its '%'; false when it is malformed or does not
// fit the argument.
bool ReadConversion(const char*& p, ePropertyArgument argument, sPropertyConversion& conversion)
{
    while (IsOneOf(*p, kFlags))
        ++p;
    if (!SkipField(p))
        return false;
    if (*p == '.' && !SkipField(++p))
        return false;
    const eLength length = ReadLength(p);
    if (!Fits(*p, length, argument))
        return false;
    conversion = {*p++, length == eLength::Long};
    return true;
}
} // namespace

bool ParsePropertyFormat(const char* format, ePropertyArgument argument,
                         sPropertyConversion& conversion)
{
    if (format == nullptr)
        return false;
    int count = 0;
    for (const char* p = format; *p != '\0';)
    {
        if (*p++ != kPercent)
            continue;
        if (*p == kPercent)
        {
            ++p;
            continue;
        }
        if (++count > 1 || !ReadConversion(p, argument, conversion))
            return false;
    }
    return count == 1;
}

bool IsSignedConversion(const sPropertyConversion& conversion)
{
    return conversion.chConversion == 'd' || conversion.chConversion == 'i';
}
