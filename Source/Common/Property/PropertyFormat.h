// Which printf formats a property hands to CZRString::Format. Internal.
#pragma once

// The one argument a property passes with its format.
enum class ePropertyArgument
{
    Integer, // an int (or, with the 'l' modifier, a long)
    Float,   // a double
    Text,    // a zero-terminated string
};

// The single conversion of an accepted format.
struct sPropertyConversion
{
    char chConversion; // d i u x X o c, f F e E g G a A or s
    bool bLong;        // 'l' on an integer conversion: the argument is a long
};

// A format comes from saved data as often as from code, so it is untrusted
// text. It is accepted only when it holds exactly one conversion that fits the
// argument: an integer conversion (d i u x X o c) for Integer, a floating one
// (f F e E g G a A) for Float, s for Text; flags from "-+ #0"; width and
// precision as digits only, at most 1,023 (Format keeps no more); the length
// modifiers h and hh for integers, l for integers other than c and for floats,
// none for texts. "%%" may stand anywhere. Anything else (no conversion, two,
// '*', "%n", a trailing '%', "%ls", positional arguments) is refused. The scan
// ends at the first zero byte, where printf ends too; null is refused.
bool ParsePropertyFormat(const char* format, ePropertyArgument argument,
                         sPropertyConversion& conversion);

// True for d and i, whose long argument is sign-extended.
bool IsSignedConversion(const sPropertyConversion& conversion);
