// Token streams as one line of text, for table-driven tests of the tokenizer
// and the lexer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Common/TextParsing/LexAnalyzer.h"

namespace TokenStream
{
inline CZRString Bytes(const std::string& text)
{
    CZRString result;
    if (!text.empty())
    {
        std::copy(text.begin(), text.end(), result.GetBuffer(static_cast<int>(text.size())));
        result.ReleaseBuffer(static_cast<int>(text.size()));
    }
    return result;
}

inline std::string Value(const CStringTokenizer& tok)
{
    const CZRString value = tok.GetStringValue();
    return value.IsEmpty() ? std::string() : std::string(value.GetString(), static_cast<size_t>(value.GetLength()));
}

// One token as "kind value"; keyword numbers (256 and up in these tests) as "kw N".
inline std::string Describe(const CStringTokenizer& tok, int type)
{
    const std::string value = Value(tok);
    switch (type)
    {
    case TOKEN_WORD: return "word " + value;
    case TOKEN_INTEGER: return "int " + std::to_string(static_cast<long long>(tok.GetNumValue()));
    case TOKEN_REAL: return "real " + value;
    case TOKEN_TEXTBLOCK: return "block [" + value + "]";
    case TOKEN_EOL: return "EOL";
    case '"': return "dq [" + value + "]";
    case '\'': return "sq [" + value + "]";
    default: return type >= 256 ? "kw " + std::to_string(type) : value;
    }
}

// The tokens up to the end as "a | b | EOF", checking that the end repeats.
template <class Reader> std::string Rest(Reader& tok)
{
    std::string out;
    for (int i = 0; i < 1000; ++i)
    {
        const int type = tok.GetNextToken();
        if (type == TOKEN_EOF)
        {
            EXPECT_EQ(TOKEN_EOF, tok.GetNextToken());
            return out + "EOF";
        }
        out += Describe(tok, type) + " | ";
    }
    ADD_FAILURE() << "no end";
    return out;
}

template <class Reader>
struct Case
{
    const char* name;
    std::string text;
    std::function<void(Reader&)> configure;
    const char* expected;
};

template <class Reader>
void RunCases(const std::vector<Case<Reader>>& cases)
{
    for (const Case<Reader>& c : cases)
    {
        Reader tok(Bytes(c.text));
        if (c.configure)
            c.configure(tok);
        EXPECT_EQ(c.expected, Rest(tok)) << c.name;
    }
}
} // namespace TokenStream
