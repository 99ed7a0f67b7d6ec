// Fuzz target: CZRString operations with hostile arguments (negative and huge
// counts and indexes, embedded zero bytes, lone lead bytes) in the single-byte
// code page and in Shift-JIS. Layout: a code page byte, an operation count,
// then per operation a byte and 4-byte arguments; the rest is the text, and a
// second text is cut from its front. After every operation the string must
// keep its invariants: length within capacity, the terminator in place.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "FuzzInput.h"

namespace
{
constexpr int kMaxOperations = 32;
constexpr std::size_t kMaxOtherLength = 32;
// Allocation requests stay small: what a failed allocation does is left open.
constexpr int kMaxRequest = 4096;
constexpr int kBases[] = {-1, 0, 1, 2, 8, 10, 16, 36, 37};
const int kHostile[] = {INT_MIN, INT_MIN + 1, -65536, -2, -1, 0, 1, 2, 3, 7, 255, 65536,
                        INT_MAX - 1, INT_MAX};

void Fail(const char* what)
{
    std::fprintf(stderr, "string fuzz: %s\n", what);
    std::abort();
}

CZRString Bytes(const std::string& bytes)
{
    CZRString text;
    if (!bytes.empty())
    {
        std::memcpy(text.GetBuffer(static_cast<int>(bytes.size())), bytes.data(), bytes.size());
        text.ReleaseBuffer(static_cast<int>(bytes.size()));
    }
    return text;
}

// An argument: half the time one of the edge values, else any 32-bit value.
int Argument(CFuzzInput& in)
{
    const std::int32_t raw = in.Int32();
    return (raw & 1) ? kHostile[static_cast<std::uint32_t>(raw >> 1) % (sizeof kHostile / sizeof(int))]
                     : raw >> 1;
}

void Check(const CZRString& s)
{
    const sStringData* d = s.GetData();
    if (s.GetString() == nullptr)
    {
        if (s.GetLength() != 0)
            Fail("length without a buffer");
        return;
    }
    if (d->nLength < 0 || d->nLength > d->nCapacity)
        Fail("length outside the capacity");
    if (s.GetString()[d->nLength] != '\0')
        Fail("terminator missing");
}

// The extraction and search rules restated on std::string, for the
// single-byte code page and texts without zero bytes.
std::string ModelLeft(const std::string& t, int n)
{
    return n <= 0 ? std::string() : t.substr(0, static_cast<std::size_t>(n));
}

std::string ModelRight(const std::string& t, int n)
{
    const long long len = static_cast<long long>(t.size());
    const long long k = n < 0 ? 0 : n;
    return k < len ? t.substr(static_cast<std::size_t>(len - k)) : t;
}

std::string ModelMid(const std::string& t, long long start, long long count)
{
    const long long len = static_cast<long long>(t.size());
    if (count == 0)
        return std::string();
    if (start < 0)
        start = 0;
    if (start + count >= len)
        count = len - start;
    if (start >= len)
        count = 0;
    if (count <= 0)
        return std::string();
    return t.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

int ModelFind(const std::string& t, char ch, int start)
{
    if (start < 0)
        start = 0;
    if (static_cast<std::size_t>(start) >= t.size())
        return -1;
    const std::size_t at = t.find(ch, static_cast<std::size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

bool Modelled(const CZRString& s)
{
    return STR_GetCodePage() == STR_CODEPAGE_SINGLEBYTE &&
           (s.GetString() == nullptr ||
            std::strlen(s.GetString()) == static_cast<std::size_t>(s.GetLength()));
}

void CheckExtraction(const CZRString& s, std::uint8_t op, int a, int b)
{
    if (!Modelled(s))
        return;
    const std::string t = s.GetString() == nullptr ? std::string() : s.GetString();
    std::string expected;
    CZRString got;
    switch (op % 28)
    {
    case 0: expected = ModelLeft(t, a); got = s.Left(a); break;
    case 1: expected = ModelRight(t, a); got = s.Right(a); break;
    case 2: expected = ModelMid(t, a, b); got = s.Mid(a, b); break;
    case 3: expected = ModelMid(t, a, static_cast<long long>(t.size()) - a); got = s.Mid(a); break;
    case 4:
        if (static_cast<char>(a) != '\0' && s.Find(static_cast<char>(a), b) != ModelFind(t, static_cast<char>(a), b))
            Fail("Find(char, start) differs from its rule");
        return;
    default: return;
    }
    if (std::string(got.GetString() == nullptr ? "" : got.GetString(),
                    static_cast<std::size_t>(got.GetLength())) != expected)
        Fail("an extraction differs from its rule");
}

void Apply(CZRString& s, const CZRString& other, std::uint8_t op, CFuzzInput& in)
{
    const int a = Argument(in);
    const int b = Argument(in);
    const char ch = static_cast<char>(a);
    CheckExtraction(s, op, a, b);
    // Appending and replacing can multiply the length with every operation.
    const bool grows = (op % 28 >= 14 && op % 28 <= 17) || op % 28 == 9;
    if (grows && s.GetLength() > kMaxRequest)
        return;
    switch (op % 28)
    {
    case 0: s = s.Left(a); break;
    case 1: s = s.Right(a); break;
    case 2: s = s.Mid(a, b); break;
    case 3: s = s.Mid(a); break;
    case 4: s.Find(ch, b); break;
    case 5: s.Find(~other, a); break;
    case 6: s.ReverseFind(ch); break;
    case 7: s.FindOneOf(~other); s.ReverseFindOneOf(~other); break;
    case 8: s.Replace(ch, static_cast<char>(b)); break;
    case 9: s.Replace(~other, (a & 1) ? nullptr : ~s.Left(b & 7)); break;
    case 10: s.TrimLeft(); break;
    case 11: s.MakeUpper(); break;
    case 12: s.MakeLower(); break;
    case 13: s.MakeReverse(); break;
    case 14: s += other; break;
    case 15: s += s; break;
    case 16: s += ch; break;
    case 17: s = s + other + ch; s = ch + s; break;
    case 18: s = CZRString(ch, a % kMaxRequest); break;
    case 19:
    {
        const int n = static_cast<int>(static_cast<unsigned>(a) % kMaxRequest);
        char* buffer = s.GetBuffer(n);
        const int written = static_cast<int>(static_cast<unsigned>(b) % (n + 1));
        std::memset(buffer, 'x', static_cast<std::size_t>(written));
        buffer[written] = '\0';
        s.ReleaseBuffer((b & 1) ? -1 : written);
        break;
    }
    case 20: s.Compare(~other); s.CompareNoCase(~other); s.Collate(~other); s.CollateNoCase(~other); break;
    case 21:
    {
        const int base = kBases[static_cast<unsigned>(a) % (sizeof kBases / sizeof(int))];
        s.ToInt(base); s.ToUint(base); s.ToLong(base); s.ToUlong(base);
        s.ToFloat(); s.ToDouble(); s.ToBool();
        break;
    }
    case 22: s.Format("%s%d", ~other, a); break;
    case 23: s.Empty(); break;
    case 24: if (s.GetLength() > 0) s.SetAt(static_cast<int>(static_cast<unsigned>(a) % s.GetLength()), ch); break;
    case 25: if (s.GetLength() > 0) s.GetAt(static_cast<int>(static_cast<unsigned>(a) % s.GetLength())); break;
    case 26: s = other; break;
    default: s = CZRString(s); break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    STR_SetCodePage((in.Byte() & 1) ? STR_CODEPAGE_SHIFTJIS : STR_CODEPAGE_SINGLEBYTE);
    const int count = in.Byte() % (kMaxOperations + 1);
    const std::string ops = in.Bytes(static_cast<std::size_t>(count));
    const std::string args = in.Bytes(static_cast<std::size_t>(count) * 8);
    const CZRString other = Bytes(in.Text(kMaxOtherLength));
    CZRString s = Bytes(in.Rest());
    CFuzzInput arguments(reinterpret_cast<const std::uint8_t*>(args.data()), args.size());
    Check(s);
    for (char op : ops)
    {
        Apply(s, other, static_cast<std::uint8_t>(op), arguments);
        Check(s);
    }
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    return 0;
}
