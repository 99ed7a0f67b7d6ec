#include <gtest/gtest.h>

#include <string>

#include "Common/TextParsing/LexAnalyzer.h"

namespace
{
CZRString Bytes(const std::string& text)
{
    CZRString result;
    text.copy(result.GetBuffer(static_cast<int>(text.size())), text.size());
    result.ReleaseBuffer(static_cast<int>(text.size()));
    return result;
}
} // namespace

// Keywords are compared as the string class compares: up to the first zero byte.
TEST(LexAnalyzer, KeywordsMatchWholeWordsUpToAZeroByte)
{
    CLexAnalyzer lex(Bytes(std::string("if iff fi If x0 x0\0q w k0 k47 k48 .. <> <=", 43)));
    lex.WordChars(0, 0); // a zero byte inside a word continues it
    for (int i = 0; i < 48; ++i)
        lex.InsertKeyword(CZRString(("k" + std::to_string(i)).c_str()), 100 + i);
    lex.InsertKeyword("if", 1);
    lex.InsertKeyword("if", 2); // the later number wins
    lex.InsertKeyword(Bytes(std::string("x0\0y", 4)), 3);
    const int expected[] = {2, TOKEN_WORD, TOKEN_WORD, TOKEN_WORD, 3, 3, TOKEN_WORD, 100, 147, TOKEN_WORD,
                            TOKEN_DOT_DOT, TOKEN_LESS_GREATER, TOKEN_LESS_EQUAL, TOKEN_EOF};
    for (const int token : expected)
        EXPECT_EQ(token, lex.GetNextToken());
}
