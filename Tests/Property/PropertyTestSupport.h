// Shared by the Property tests: string-resource hooks over a small table, and
// the bytes of objects stored in a data stream or written to a memory file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "Common/Common.h"

using Bytes = std::vector<unsigned char>;

inline std::string Text(const CZRString& text) { return text.GetString() ? text.GetString() : ""; }

// A property as its type letter and, when it has a value, the value shown.
inline std::string Shown(const CZRProperty& p)
{
    return char(p.GetType()) + (p.IsOfType(PROPTYPE_EMPTY) ? "" : Text(p.AsFormattedString()));
}

// Both hooks over Texts() (12 "twelve", 17 "Hello") for one test.
struct ResourceHooks
{
    ResourceHooks()
    {
        Texts() = {{12, "twelve"}, {17, "Hello"}};
        s_pfnLoadString = [](long id, CZRString& text) {
            return Texts().count(id) != 0 && (text = Texts()[id].c_str(), true);
        };
        s_pfnIsStringIdentical = [](long id, const CZRString& text) {
            return Texts().count(id) != 0 && text.Compare(Texts()[id].c_str()) == 0;
        };
    }
    ~ResourceHooks() { s_pfnLoadString = nullptr, s_pfnIsStringIdentical = nullptr; }
    static std::map<long, std::string>& Texts()
    {
        static std::map<long, std::string> texts;
        return texts;
    }
};

template <typename T> Bytes Store(T&& object)
{
    CZRDataStream s(STREAM_STORING);
    object.Serialize(s);
    return Bytes(s.GetBuffer(), s.GetBuffer() + s.GetSize());
}

// Loads object from bytes; returns the bytes consumed.
template <typename T> unsigned long Load(T& object, const Bytes& bytes)
{
    CZRDataStream s(bytes.data(), static_cast<unsigned long>(bytes.size()));
    object.Serialize(s);
    return s.GetStreamPosition();
}

template <typename T> Bytes WriteFile(T&& object)
{
    CMemFileIO file;
    EXPECT_TRUE(object.Write(&file));
    return Bytes(file.GetBuffer(), file.GetBuffer() + file.GetSize());
}

template <typename T> bool ReadFile(T& object, Bytes bytes)
{
    CMemFileIO file(bytes.data(), static_cast<unsigned long>(bytes.size()), 0);
    return object.Read(&file);
}

// Loads every proper prefix of bytes into a fresh T: each must end in the
// stream's 5000; check then sees the object and the prefix length.
template <typename T, typename Check>
void ExpectEveryTruncationThrows(const Bytes& bytes, Check check)
{
    for (std::size_t n = 0; n < bytes.size(); ++n)
    {
        T object;
        try
        {
            Load(object, Bytes(bytes.begin(), bytes.begin() + static_cast<long>(n)));
            ADD_FAILURE() << "no exception at length " << n;
        }
        catch (const CZRDataStreamException& e)
        {
            EXPECT_EQ(e.GetErrorCode(), 5000u) << n;
        }
        check(object, n);
    }
}

inline Bytes Le32(std::uint32_t v)
{
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
