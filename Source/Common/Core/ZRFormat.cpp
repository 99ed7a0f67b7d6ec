// The format is parsed as the C library parses it: flags, a width and a
// precision (digits, '*' or '*n$'), one length modifier (hh, h, l, ll, L, q, z,
// Z, t, j) and the conversion character; "n$" after the '%' numbers the value.
// A format whose widths and precisions are all moderate goes to the C library
// whole. Otherwise every argument is read by the type its conversions give it,
// and each conversion is formatted on its own; one whose width or precision is
// too large is formatted at a smaller size, where the C library shows where its
// padding or its extra zeros go, and they are counted instead of produced.
#include "Common/Core/ZRFormat.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

namespace
{
// Conversions whose width and precision stay within these limits are formatted
// by the C library as they stand.
constexpr long long kWidthLimit = 4096;
constexpr long long kPrecisionLimit = 4096;
// Past these precisions a conversion only adds zeros, so one with a larger
// precision is formatted at them. A 64-bit integer has at most 64 digits (a
// pointer 16); a double at most 1,074 after the decimal point or 767
// significant; a long double up to 16,445 after the decimal point (x87) or
// 16,494 (IEEE quadruple precision); any of them no more than 28 hexadecimal.
constexpr long long kIntegerDigits = 128;
constexpr long long kDoubleDigits = 1100;
constexpr long long kLongDoubleDigits = 16500;
// A format is handed to the C library whole when its widths and precisions are
// within the limits and add up to no more than this.
constexpr long long kWholeFormatBudget = 65536;
// The highest argument number a format may give with "n$" (POSIX's NL_ARGMAX).
constexpr long long kMaxArgumentNumber = 4096;

constexpr int kNone = -1;
constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

enum class Size : unsigned char
{
    Default,
    Char,    // hh
    Short,   // h
    Long,    // l, z, Z, t, j
    LongLong // ll, L, q
};

enum class ArgType : unsigned char
{
    None, // no value; an argument number that no conversion types is read as an int
    Int,
    Long,
    LongLong,
    Pointer,
    Double,
    LongDouble
};

union Arg
{
    int i;
    long l;
    long long ll;
    void* p;
    double d;
    long double ld;
};

struct Conversion
{
    const char* begin = nullptr; // the '%'
    const char* end = nullptr;   // past the conversion character
    bool literal = false;        // an unfinished conversion at the end of a numbered format, kept as text
    char flags[8] = {};          // each flag character once, in the order first given
    bool left = false;
    bool hasWidth = false;
    long long width = 0; // when widthArg is kNone
    int widthArg = kNone;
    bool hasPrecision = false;
    long long precision = 0; // when precisionArg is kNone
    int precisionArg = kNone;
    const char* modifier = nullptr;
    int modifierLength = 0;
    Size size = Size::Default;
    char letter = 0;             // the conversion character
    ArgType type = ArgType::None;
    int dataArg = kNone;
    bool numbered = false; // taken the numbered way, as the C library takes it
};

// A whole format, parsed and with its argument types.
struct Parsed
{
    std::vector<Conversion> conversions;
    std::vector<ArgType> types; // by argument number
    const char* stop = nullptr; // where formatting fails, when it does
    int error = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of digits as the C library reads it: -1 when the value exceeds INT_MAX.
long long ReadNumber(const char*& p)
{
    long long n = 0;
    for (; IsDigit(*p); ++p)
        if (n >= 0)
            n = n * 10 + (*p - '0') > INT_MAX ? -1 : n * 10 + (*p - '0');
    return n;
}

ArgType TypeOf(char conversion, Size size)
{
    switch (conversion)
    {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'b': case 'B':
        return size == Size::LongLong ? ArgType::LongLong : size == Size::Long ? ArgType::Long : ArgType::Int;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
        return size == Size::LongLong ? ArgType::LongDouble : ArgType::Double;
    case 'c': case 'C':
        return ArgType::Int;
    case 's': case 'S': case 'p': case 'n':
        return ArgType::Pointer;
    default: // '%', 'm' and characters that are no conversion take no value
        return ArgType::None;
    }
}

bool IsConversion(char c)
{
    switch (c)
    {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'b': case 'B':
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
    case 'c': case 'C': case 's': case 'S': case 'p': case 'n': case 'm': case '%':
        return true;
    default:
        return false;
    }
}

bool IsFlag(char c)
{
    switch (c)
    {
    case ' ': case '+': case '-': case '#': case '0': case '\'': case 'I':
        return true;
    default:
        return false;
    }
}
bool IsText(char c) { return c == 's' || c == 'S'; }
bool IsWide(const Conversion& conv)
{
    return conv.letter == 'S' || conv.size == Size::Long || conv.size == Size::LongLong;
}

// Reads a format one conversion at a time.
class Parser
{
public:
    explicit Parser(const char* fmt) : m_next(std::strchr(fmt, '%')) {}

    // Reads the next conversion into conv, which is freshly made; false at the
    // end of the format or where it fails.
    bool Next(Conversion& conv)
    {
        if (m_next == nullptr)
            return false;
        conv.begin = m_next;
        if (!ParseOne(conv))
            return false;
        m_next = conv.literal ? nullptr : std::strchr(conv.end, '%');
        return true;
    }

    // Where the format fails and why; null when it does not.
    const char* Stop() const { return m_stop; }
    int Error() const { return m_error; }

private:
    bool Fail(const char* at, int error)
    {
        m_stop = at;
        m_error = error;
        m_next = nullptr;
        return false;
    }

    // "n$" at p: sets index to n - 1 and moves p past it. Without one, index is
    // the next argument in order (when takeNext) and p stays. Returns 0, or the
    // error for a number out of range.
    int ArgumentNumber(const char*& p, int& index, bool takeNext)
    {
        const char* q = p;
        const long long n = ReadNumber(q);
        if (q != p && *q == '$' && n != 0)
        {
            if (n < 0)
                return EOVERFLOW;
            if (n > kMaxArgumentNumber)
                return EINVAL;
            index = static_cast<int>(n - 1);
            p = q + 1;
            m_numbered = true;
        }
        else if (takeNext)
            index = m_order++;
        return 0;
    }

    // Digits of a width or precision: out of range fails the format, unless it
    // has gone over to numbered arguments; then the C library drops the number.
    bool Number(const char*& p, const Conversion& conv, bool& has, long long& value)
    {
        value = ReadNumber(p);
        if (value >= 0)
            return true;
        has = false;
        return m_numbered || Fail(conv.begin, EOVERFLOW);
    }

    bool ParseOne(Conversion& conv)
    {
        const char* p = conv.begin + 1;
        if (const int error = ArgumentNumber(p, conv.dataArg, false))
            return Fail(conv.begin, error);
        for (std::size_t count = 0; IsFlag(*p); ++p)
        {
            conv.left = conv.left || *p == '-';
            if (std::find(conv.flags, conv.flags + count, *p) == conv.flags + count)
                conv.flags[count++] = *p;
        }
        if (*p == '*')
        {
            conv.hasWidth = true;
            if (const int error = ArgumentNumber(++p, conv.widthArg, true))
                return Fail(conv.begin, error);
        }
        else if (IsDigit(*p))
        {
            conv.hasWidth = true;
            if (!Number(p, conv, conv.hasWidth, conv.width))
                return false;
        }
        if (*p == '.')
        {
            conv.hasPrecision = true;
            if (*++p == '*')
            {
                if (const int error = ArgumentNumber(++p, conv.precisionArg, true))
                    return Fail(conv.begin, error);
            }
            else if (!Number(p, conv, conv.hasPrecision, conv.precision))
                return false;
        }
        conv.modifier = p;
        switch (*p)
        {
        case 'h':
            conv.size = p[1] == 'h' ? Size::Char : Size::Short;
            p += p[1] == 'h' ? 2 : 1;
            break;
        case 'l':
            conv.size = p[1] == 'l' ? Size::LongLong : Size::Long;
            p += p[1] == 'l' ? 2 : 1;
            break;
        case 'L': case 'q':
            conv.size = Size::LongLong;
            ++p;
            break;
        case 'z': case 'Z': case 't': case 'j':
            conv.size = Size::Long;
            ++p;
            break;
        default:
            break;
        }
        conv.modifierLength = static_cast<int>(p - conv.modifier);
        if (*p == '\0')
        {
            // The C library fails such a format, unless it has gone over to
            // numbered arguments; then the rest is plain text.
            if (!m_numbered)
                return Fail(conv.begin, EINVAL);
            conv.literal = true;
            conv.end = p;
            return true;
        }
        conv.letter = *p++;
        conv.end = p;
        // The C library takes the rest of a format the numbered way from a
        // character that is no conversion, or from 'h' before one that is not
        // an integer's.
        m_numbered = m_numbered || !IsConversion(conv.letter) ||
                     (conv.size == Size::Short && std::strchr("eEfFgGaAcCsSpm", conv.letter) != nullptr);
        conv.numbered = m_numbered;
        // Taken the numbered way, L and q widen floating-point values only.
        if (m_numbered && (*conv.modifier == 'L' || *conv.modifier == 'q') &&
            TypeOf(conv.letter, Size::LongLong) != ArgType::LongDouble)
            conv.size = Size::Default;
        conv.type = TypeOf(conv.letter, conv.size);
        if (conv.type != ArgType::None && conv.dataArg == kNone)
            conv.dataArg = m_order++;
        return true;
    }

    const char* m_next;          // the '%' of the next conversion
    const char* m_stop = nullptr;
    int m_error = 0;
    int m_order = 0;         // arguments taken in order: widths, precisions, values
    bool m_numbered = false; // the format has gone over to numbered arguments
};

void Use(std::vector<ArgType>& types, int index, ArgType type)
{
    if (index == kNone)
        return;
    if (static_cast<std::size_t>(index) >= types.size())
        types.resize(static_cast<std::size_t>(index) + 1, ArgType::None);
    if (type != ArgType::None)
        types[static_cast<std::size_t>(index)] = type; // the last conversion to name it decides
}

void Parse(const char* fmt, Parsed& out)
{
    Parser parser(fmt);
    for (Conversion conv; parser.Next(conv); conv = Conversion())
    {
        Use(out.types, conv.widthArg, ArgType::Int);
        Use(out.types, conv.precisionArg, ArgType::Int);
        Use(out.types, conv.dataArg, conv.type);
        out.conversions.push_back(conv);
    }
    out.stop = parser.Stop();
    out.error = parser.Error();
}

// Reads one argument. va_list is taken by pointer: where it is an array type,
// a parameter of that type is a pointer already, and reads through it would
// not advance the caller's list everywhere alike.
Arg FetchOne(ArgType type, va_list* args)
{
    Arg arg{};
    switch (type)
    {
    case ArgType::None:
    case ArgType::Int: arg.i = va_arg(*args, int); break;
    case ArgType::Long: arg.l = va_arg(*args, long); break;
    case ArgType::LongLong: arg.ll = va_arg(*args, long long); break;
    case ArgType::Pointer: arg.p = va_arg(*args, void*); break;
    case ArgType::Double: arg.d = va_arg(*args, double); break;
    case ArgType::LongDouble: arg.ld = va_arg(*args, long double); break;
    }
    return arg;
}

// Width and precision of one conversion with its arguments read. A negative
// width argument left-justifies; a negative precision argument means none.
struct Resolved
{
    int rawWidth = 0; // as given, for the C library
    long long width = 0;
    bool left = false;
    int precision = -1;
};

Resolved Resolve(const Conversion& conv, int widthValue, int precisionValue)
{
    Resolved r;
    r.left = conv.left;
    if (conv.widthArg != kNone)
    {
        r.rawWidth = widthValue;
        r.width = r.rawWidth < 0 ? -static_cast<long long>(r.rawWidth) : r.rawWidth;
        r.left = r.left || r.rawWidth < 0;
    }
    else if (conv.hasWidth)
    {
        r.rawWidth = static_cast<int>(conv.width);
        r.width = conv.width;
    }
    if (conv.precisionArg != kNone)
        r.precision = std::max(precisionValue, -1);
    else if (conv.hasPrecision)
        r.precision = static_cast<int>(conv.precision);
    return r;
}

// The precision up to which the C library formats a conversion as it stands.
long long PrecisionLimit(const Conversion& conv)
{
    return conv.type == ArgType::LongDouble ? kLongDoubleDigits : kPrecisionLimit;
}

// The precision at which a conversion shows every digit it can have.
long long AllDigits(const Conversion& conv)
{
    if (conv.letter == 'a' || conv.letter == 'A')
        return kIntegerDigits;
    switch (conv.type)
    {
    case ArgType::LongDouble: return kLongDoubleDigits;
    case ArgType::Double: return kDoubleDigits;
    default: return kIntegerDigits;
    }
}

// One conversion as a format of its own: "%<flags>*.*<modifier><conversion>"
// with width, precision and value, or in a format that has gone over to
// numbered arguments "%1$<flags>*2$.*3$<modifier><conversion>" with value, width
// and precision, so that the C library treats it as it treats the whole format.
struct Call
{
    char format[24];
    bool numbered;
    ArgType type;
    const Arg* value;
    int savedErrno; // what %m shows
};

void MakeCall(Call& call, const Conversion& conv, const Arg* value, int savedErrno)
{
    const bool hasValue = conv.type != ArgType::None;
    char* p = call.format;
    *p++ = '%';
    if (conv.numbered && hasValue)
        p = std::copy_n("1$", 2, p);
    p = std::copy(conv.flags, conv.flags + std::strlen(conv.flags), p);
    *p++ = '*';
    if (conv.numbered)
        p = std::copy_n(hasValue ? "2$" : "1$", 2, p);
    p = std::copy_n(".*", 2, p);
    if (conv.numbered)
        p = std::copy_n(hasValue ? "3$" : "2$", 2, p);
    p = std::copy_n(conv.modifier, conv.modifierLength, p);
    *p++ = conv.letter;
    *p = '\0';
    call.numbered = conv.numbered;
    call.type = conv.type;
    call.value = value;
    call.savedErrno = savedErrno;
}

template <typename T> int PrintValue(char* dst, std::size_t size, const Call& call, int width, int precision, T value)
{
    return call.numbered ? std::snprintf(dst, size, call.format, value, width, precision)
                         : std::snprintf(dst, size, call.format, width, precision, value);
}

int Print(char* dst, std::size_t size, const Call& call, int width, int precision)
{
    errno = call.savedErrno;
    const Arg& v = *call.value;
    switch (call.type)
    {
    case ArgType::None: return std::snprintf(dst, size, call.format, width, precision);
    case ArgType::Int: return PrintValue(dst, size, call, width, precision, v.i);
    case ArgType::Long: return PrintValue(dst, size, call, width, precision, v.l);
    case ArgType::LongLong: return PrintValue(dst, size, call, width, precision, v.ll);
    case ArgType::Pointer: return PrintValue(dst, size, call, width, precision, v.p);
    case ArgType::Double: return PrintValue(dst, size, call, width, precision, v.d);
    case ArgType::LongDouble: return PrintValue(dst, size, call, width, precision, v.ld);
    }
    return -1;
}

// The output: its first room bytes are stored, the rest only counted.
class Sink
{
public:
    Sink(char* buffer, std::size_t room) : m_buffer(buffer), m_room(room) {}

    std::size_t Kept() const { return m_total < m_room ? static_cast<std::size_t>(m_total) : m_room; }
    std::size_t Free() const { return m_room - Kept(); }
    unsigned long long Total() const { return m_total; }
    bool Overflowed() const { return m_total > static_cast<unsigned long long>(INT_MAX); }

    void Text(const char* text, std::size_t n)
    {
        std::memcpy(m_buffer + Kept(), text, std::min(n, Free()));
        m_total += n;
    }

    void Repeat(char c, unsigned long long n)
    {
        std::memset(m_buffer + Kept(), c, static_cast<std::size_t>(std::min<unsigned long long>(n, Free())));
        m_total += n;
    }

    // Formats with the C library straight into the kept bytes (the byte after
    // them takes its terminator).
    bool Direct(const Call& call, int width, int precision)
    {
        const std::size_t free = Free();
        const int n = Print(free > 0 ? m_buffer + Kept() : nullptr, free > 0 ? free + 1 : 0, call, width, precision);
        if (n < 0)
            return false;
        m_total += static_cast<unsigned long long>(n);
        return true;
    }

private:
    char* m_buffer;
    std::size_t m_room;
    unsigned long long m_total = 0;
};

// One conversion formatted whole, at a size that bounds it.
class Sample
{
public:
    Sample() = default;
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    bool Render(const Call& call, int width, int precision)
    {
        const int n = Print(m_small, sizeof m_small, call, width, precision);
        if (n < 0)
            return false;
        m_data = m_small;
        m_length = static_cast<std::size_t>(n);
        if (m_length >= sizeof m_small)
        {
            m_large.reset(new char[m_length + 1]);
            Print(m_large.get(), m_length + 1, call, width, precision);
            m_data = m_large.get();
        }
        return true;
    }

    const char* Data() const { return m_data; }
    std::size_t Length() const { return m_length; }

    // Where other is this with one character inserted, or kNowhere.
    std::size_t InsertionIn(const Sample& other) const
    {
        if (other.m_length != m_length + 1)
            return kNowhere;
        std::size_t k = 0;
        while (k < m_length && m_data[k] == other.m_data[k])
            ++k;
        return std::memcmp(m_data + k, other.m_data + k + 1, m_length - k) == 0 ? k : kNowhere;
    }

    bool SameAs(const Sample& other) const
    {
        return m_length == other.m_length && std::memcmp(m_data, other.m_data, m_length) == 0;
    }

private:
    char m_small[512];
    std::unique_ptr<char[]> m_large;
    const char* m_data = m_small;
    std::size_t m_length = 0;
};

// Grouping (') and locale digits (I) make no runs of one character outside the
// C locale.
bool RunsAreUniform(const Conversion& conv)
{
    if (std::strpbrk(conv.flags, "'I") == nullptr)
        return true;
    const char* locale = std::setlocale(LC_ALL, nullptr);
    return locale != nullptr && (std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0);
}

// A number, character, pointer or %m: the output without padding is bounded
// once the precision is. Past the limit, a precision one higher shows where the
// extra zeros go (or that there are none); a width one past the output shows
// where the padding goes and what it is.
bool Bounded(Sink& sink, const Conversion& conv, const Call& call, const Resolved& r)
{
    if ((r.width <= kWidthLimit && r.precision <= PrecisionLimit(conv)) || !RunsAreUniform(conv))
        return sink.Direct(call, r.rawWidth, r.precision);
    const long long limit = AllDigits(conv);
    const int precision = r.precision > limit ? static_cast<int>(limit) : r.precision;
    Sample body;
    if (!body.Render(call, 0, precision))
        return false;
    std::size_t zerosAt = kNowhere;
    unsigned long long zeros = 0;
    if (precision != r.precision)
    {
        Sample more;
        if (!more.Render(call, 0, precision + 1))
            return false;
        if (!body.SameAs(more))
        {
            zerosAt = body.InsertionIn(more);
            if (zerosAt == kNowhere || more.Data()[zerosAt] != '0')
                return sink.Direct(call, r.rawWidth, r.precision);
            zeros = static_cast<unsigned long long>(r.precision - precision);
        }
    }
    const unsigned long long length = body.Length() + zeros;
    std::size_t padAt = kNowhere;
    char pad = ' ';
    unsigned long long padding = 0;
    if (static_cast<unsigned long long>(r.width) > length)
    {
        Sample padded;
        const int width = static_cast<int>(body.Length()) + 1;
        if (!padded.Render(call, r.left ? -width : width, precision))
            return false;
        padAt = body.InsertionIn(padded);
        if (padAt == kNowhere)
            return sink.Direct(call, r.rawWidth, r.precision);
        pad = padded.Data()[padAt];
        padding = static_cast<unsigned long long>(r.width) - length;
    }
    struct Run
    {
        std::size_t at;
        char c;
        unsigned long long count;
    } runs[] = {{zerosAt, '0', zeros}, {padAt, pad, padding}};
    if (runs[1].at < runs[0].at) // where both meet, the zeros belong to the number
        std::swap(runs[0], runs[1]);
    std::size_t done = 0;
    for (const Run& run : runs)
        if (run.count > 0)
        {
            sink.Text(body.Data() + done, run.at - done);
            sink.Repeat(run.c, run.count);
            done = run.at;
        }
    sink.Text(body.Data() + done, body.Length() - done);
    return true;
}

// %s and %S: the text is the caller's and is read only up to the precision; a
// wide width is learnt from padding a one-character text.
bool Text(Sink& sink, const Conversion& conv, const Call& call, const Resolved& r)
{
    if (r.width <= kWidthLimit)
        return sink.Direct(call, r.rawWidth, r.precision);
    static const char kProxy[] = "x";
    static const wchar_t kWideProxy[] = L"x";
    Arg proxy;
    proxy.p = IsWide(conv) ? const_cast<wchar_t*>(kWideProxy) : static_cast<void*>(const_cast<char*>(kProxy));
    Call proxyCall = call;
    proxyCall.value = &proxy;
    char sample[8];
    if (Print(sample, sizeof sample, proxyCall, r.left ? -2 : 2, -1) != 2 || (sample[0] == 'x') == (sample[1] == 'x'))
        return sink.Direct(call, r.rawWidth, r.precision);
    const bool padFirst = sample[1] == 'x';
    const char pad = padFirst ? sample[0] : sample[1];
    unsigned long long length = 0;
    if (padFirst)
    {
        const int n = Print(nullptr, 0, call, 0, r.precision);
        if (n < 0)
            return false;
        length = static_cast<unsigned long long>(n);
        if (static_cast<unsigned long long>(r.width) > length)
            sink.Repeat(pad, static_cast<unsigned long long>(r.width) - length);
        return sink.Direct(call, 0, r.precision);
    }
    const unsigned long long start = sink.Total();
    if (!sink.Direct(call, 0, r.precision))
        return false;
    length = sink.Total() - start;
    if (static_cast<unsigned long long>(r.width) > length)
        sink.Repeat(pad, static_cast<unsigned long long>(r.width) - length);
    return true;
}

void StoreCount(const Conversion& conv, void* target, unsigned long long count)
{
    switch (conv.size)
    {
    case Size::Char: *static_cast<signed char*>(target) = static_cast<signed char>(count); break;
    case Size::Short: *static_cast<short*>(target) = static_cast<short>(count); break;
    case Size::Long: *static_cast<long*>(target) = static_cast<long>(count); break;
    case Size::LongLong: *static_cast<long long*>(target) = static_cast<long long>(count); break;
    case Size::Default: *static_cast<int*>(target) = static_cast<int>(count); break;
    }
}

int ValueOf(const Arg* args, int index) { return index != kNone ? args[index].i : 0; }

bool Convert(Sink& sink, const Conversion& conv, const Arg* args, int savedErrno)
{
    static const Arg kNoValue{};
    const Resolved r = Resolve(conv, ValueOf(args, conv.widthArg), ValueOf(args, conv.precisionArg));
    const Arg* value = conv.dataArg != kNone ? &args[conv.dataArg] : &kNoValue;
    Call call;
    MakeCall(call, conv, value, savedErrno);
    switch (conv.letter)
    {
    case '%':
        sink.Text("%", 1);
        return true;
    case 'n':
        StoreCount(conv, value->p, sink.Total());
        return true;
    case 's':
    case 'S':
        return Text(sink, conv, call, r);
    default:
        // A character that is no conversion comes out as the C library shows it.
        return IsConversion(conv.letter) ? Bounded(sink, conv, call, r) : sink.Direct(call, r.rawWidth, r.precision);
    }
}

// What the C library spends on one conversion's padding and digits: false when
// a width or precision is past its limit.
bool Spend(const Conversion& conv, const Resolved& r, long long& budget)
{
    if (conv.literal || conv.letter == '%' || conv.letter == 'n' || !IsConversion(conv.letter))
        return true;
    const long long precision = IsText(conv.letter) ? 0 : std::max(r.precision, 0);
    budget -= r.width + precision;
    return r.width <= kWidthLimit && precision <= PrecisionLimit(conv) && budget >= 0;
}

// True when the C library may format the whole format at once: every width and
// precision within its limit, all of them together within the budget.
bool CheapAsAWhole(const Parsed& parsed, const Arg* args)
{
    long long budget = kWholeFormatBudget;
    for (const Conversion& conv : parsed.conversions)
        if (!Spend(conv, Resolve(conv, ValueOf(args, conv.widthArg), ValueOf(args, conv.precisionArg)), budget))
            return false;
    return true;
}

// The same for a format whose values are all taken in order, read as they come
// and kept nowhere; false too for a format that goes over to numbered arguments.
bool CheapInOrder(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    long long budget = kWholeFormatBudget;
    bool cheap = true;
    Parser parser(fmt);
    while (cheap)
    {
        Conversion conv;
        if (!parser.Next(conv))
            break;
        if (conv.numbered)
        {
            cheap = false;
            break;
        }
        const int width = conv.widthArg != kNone ? FetchOne(ArgType::Int, &copy).i : 0;
        const int precision = conv.precisionArg != kNone ? FetchOne(ArgType::Int, &copy).i : 0;
        if (conv.type != ArgType::None)
            FetchOne(conv.type, &copy);
        cheap = Spend(conv, Resolve(conv, width, precision), budget);
    }
    va_end(copy);
    return cheap;
}

ZRFormat::Result Failed(const Sink& sink, int error)
{
    errno = error;
    return {-1, sink.Kept()};
}

ZRFormat::Result FormatPieces(Sink& sink, const char* fmt, const Parsed& parsed, const Arg* args, int savedErrno)
{
    const char* at = fmt;
    for (const Conversion& conv : parsed.conversions)
    {
        sink.Text(at, static_cast<std::size_t>(conv.begin - at));
        at = conv.end;
        if (sink.Overflowed())
            return Failed(sink, EOVERFLOW);
        if (conv.literal)
            sink.Text(conv.begin, static_cast<std::size_t>(conv.end - conv.begin));
        else if (!Convert(sink, conv, args, savedErrno))
            return Failed(sink, errno);
        if (sink.Overflowed())
            return Failed(sink, EOVERFLOW);
    }
    if (parsed.stop != nullptr)
    {
        sink.Text(at, static_cast<std::size_t>(parsed.stop - at));
        return Failed(sink, sink.Overflowed() ? EOVERFLOW : parsed.error);
    }
    sink.Text(at, std::strlen(at));
    if (sink.Overflowed())
        return Failed(sink, EOVERFLOW);
    errno = savedErrno;
    return {static_cast<int>(sink.Total()), sink.Kept()};
}

// Whether the C library takes numbered arguments ("%1$d", as POSIX asks).
// Pieces of a numbered format go to it numbered, so where it does not, such a
// format goes to it whole and comes out as that library makes it.
bool CLibraryNumbersArguments()
{
    static const bool s_numbers = [] {
        const char* const numbered = "%2$d%1$d";
        char out[8] = {};
        return std::snprintf(out, sizeof out, numbered, 1, 2) == 2 && std::strcmp(out, "21") == 0;
    }();
    return s_numbers;
}

bool HasNumbered(const Parsed& parsed)
{
    for (const Conversion& conv : parsed.conversions)
        if (conv.numbered)
            return true;
    return false;
}

ZRFormat::Result Whole(char* buffer, std::size_t room, const char* fmt, va_list args, int savedErrno)
{
    errno = savedErrno;
    const int length = std::vsnprintf(buffer, room + 1, fmt, args);
    if (length < 0)
        return {-1, std::strlen(buffer)};
    return {length, std::min(static_cast<std::size_t>(length), room)};
}
} // namespace

ZRFormat::Result ZRFormat::Format(char* buffer, std::size_t room, const char* fmt, va_list args)
{
    const int savedErrno = errno;
    if (CheapInOrder(fmt, args))
        return Whole(buffer, room, fmt, args, savedErrno);

    Parsed parsed;
    Parse(fmt, parsed);
    if (!CLibraryNumbersArguments() && HasNumbered(parsed))
        return Whole(buffer, room, fmt, args, savedErrno);
    std::vector<Arg> values;
    values.reserve(parsed.types.size());
    va_list copy;
    va_copy(copy, args);
    for (ArgType type : parsed.types)
        values.push_back(FetchOne(type, &copy));
    va_end(copy);
    if (CheapAsAWhole(parsed, values.data()))
        return Whole(buffer, room, fmt, args, savedErrno);
    Sink sink(buffer, room);
    return FormatPieces(sink, fmt, parsed, values.data(), savedErrno);
}
