// Fuzz target: loading every persistent class from arbitrary bytes through
// CZRDataStream. The first byte chooses the class; the rest is the stream.
// CZRDataStreamException is the one failure the loaders may report; anything
// else escaping is a finding. Properties, parameter lists and property sets
// that load whole must also store to bytes that load and store again to the
// same bytes, and the version words must nest as SerializeBegin/End promise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRFourCC.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ZRDataStream.h"
#include "Common/Property/ZRParams.h"
#include "Common/Property/ZRProperty.h"
#include "Common/Property/ZRPropertyManager.h"
#include "Common/Serialisation/ZRDataFormat.h"
#include "Common/Serialisation/ZRVariableControllerBase.h"

namespace
{
// Reading stops after this many items, so that a long input of tiny items
// stays fast.
constexpr int kMaxItems = 4096;
constexpr const char* kFormatName = "Unit";
constexpr int kFormatVersion = 3;
constexpr std::size_t kRecordSize = 64;

enum eTarget
{
    TARGET_PROPERTY,
    TARGET_PARAMS,
    TARGET_MANAGER,
    TARGET_DATAFORMAT,
    TARGET_STRINGS,
    TARGET_FOURCCS,
    TARGET_MIXED,
    TARGET_COUNT
};

void Fail(const char* what)
{
    std::fprintf(stderr, "datastream fuzz: %s\n", what);
    std::abort();
}

template <typename T> std::string Store(T& object)
{
    CZRDataStream out(STREAM_STORING);
    object.Serialize(out);
    return std::string(reinterpret_cast<const char*>(out.GetBuffer()), out.GetSize());
}

template <typename T> bool Load(T& object, const std::string& bytes)
{
    CZRDataStream in(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()), STREAM_LOADING, false);
    try
    {
        object.Serialize(in);
        return true;
    }
    catch (const CZRDataStreamException&)
    {
        return false;
    }
}

// Loading what a loaded object stores, and storing it again, gives the same bytes.
template <typename T> void LoadStoreLoad(const std::string& bytes)
{
    T first;
    if (!Load(first, bytes))
        return;
    const std::string stored = Store(first);
    T second;
    if (!Load(second, stored))
        Fail("stored bytes do not load");
    if (Store(second) != stored)
        Fail("a loaded object stores differently the second time");
}

void LoadDataFormat(const std::string& bytes)
{
    CZRVariableControllerBase first(1, 0x41414141), second(2, 0x42424242), later(3, 0x43434343);
    CZRDataFormat format(CZRString(kFormatName), kFormatVersion);
    format.AddVariable(1, first);
    format.AddVariable(2, second);
    format.AddVariable(kFormatVersion, later);
    unsigned char record[kRecordSize] = {};
    CZRDataStream in(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()), STREAM_LOADING, false);
    try
    {
        format.Serialize(record, in);
    }
    catch (const CZRDataStreamException&)
    {
    }
}

template <typename T> void LoadEach(const std::string& bytes)
{
    CZRDataStream in(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()), STREAM_LOADING, false);
    try
    {
        for (int i = 0; i < kMaxItems && in.GetStreamPosition() < in.GetSize(); ++i)
        {
            T value;
            in.Get(value);
        }
    }
    catch (const CZRDataStreamException&)
    {
    }
}

std::int32_t PeekWord(const CZRDataStream& in)
{
    const unsigned char* p = in.GetIteratorBuffer();
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

// Items chosen by the stream itself: each is a selector byte and its data.
// The versions are checked against a model of the version stack.
void LoadMixed(const std::string& bytes)
{
    CZRDataStream in(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()), STREAM_LOADING, false);
    std::vector<int> stack;
    int current = -1;
    try
    {
        for (int i = 0; i < kMaxItems && in.GetStreamPosition() < in.GetSize(); ++i)
        {
            char selector = 0;
            in.Get(selector);
            switch (static_cast<unsigned char>(selector) % 8)
            {
            case 0: { CZRString s; in.Get(s); break; }
            case 1: { CZRFourCC c; in.Get(c); break; }
            case 2: { long l; in.Get(l); if (l < INT32_MIN || l > INT32_MAX) Fail("long out of 32 bits"); break; }
            case 3: { unsigned long u; in.Get(u); if (u > UINT32_MAX) Fail("unsigned long out of 32 bits"); break; }
            case 4: { bool b; in.Get(b); break; }
            case 5:
            {
                const bool whole = in.GetRemainingSize() >= 4;
                const int version = whole ? PeekWord(in) : 0;
                in.SerializeBegin(-1);
                if (!whole)
                    Fail("SerializeBegin read past the end");
                stack.push_back(current);
                current = version;
                break;
            }
            case 6:
                in.SerializeEnd();
                current = stack.empty() ? -1 : stack.back();
                if (!stack.empty())
                    stack.pop_back();
                break;
            default: { CZRProperty p; p.Serialize(in); break; }
            }
            if (in.GetVersion() != current)
                Fail("version stack out of step");
        }
    }
    catch (const CZRDataStreamException&)
    {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % TARGET_COUNT)
    {
    case TARGET_PROPERTY: LoadStoreLoad<CZRProperty>(bytes); break;
    case TARGET_PARAMS: LoadStoreLoad<CZRParams>(bytes); break;
    case TARGET_MANAGER: LoadStoreLoad<CZRPropertyManager>(bytes); break;
    case TARGET_DATAFORMAT: LoadDataFormat(bytes); break;
    case TARGET_STRINGS: LoadEach<CZRString>(bytes); break;
    case TARGET_FOURCCS: LoadEach<CZRFourCC>(bytes); break;
    default: LoadMixed(bytes); break;
    }
    return 0;
}
