// CLexAnalyzer: the string tokenizer with a keyword table and five
// two-character operators. Registered words come back as the caller's token
// numbers instead of TOKEN_WORD; >=, <=, :=, <> and .. come back as single
// tokens, joined at token level, so white space and comments between the two
// characters do not split them. Everything else (configuration, comments,
// strings, numbers, counters) is the tokenizer's.
//
// Keywords are compared exactly and case-sensitively; with force-lower-case mode
// on, words are lower-cased before the lookup, so register them in lower case.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/TextParsing/StringTokenizer.h"

constexpr int TOKEN_GREATER_EQUAL = -50; // >=
constexpr int TOKEN_LESS_EQUAL = -51;    // <=
constexpr int TOKEN_COLON_EQUAL = -52;   // :=
constexpr int TOKEN_LESS_GREATER = -53;  // <>
constexpr int TOKEN_DOT_DOT = -54;       // ..

class ZR_COMMON_API CLexAnalyzer : public CStringTokenizer
{
public:
    explicit CLexAnalyzer(const CZRString& text);
    CLexAnalyzer(const CLexAnalyzer& other);
    CLexAnalyzer& operator=(const CLexAnalyzer& other);
    ~CLexAnalyzer() override;

    // Registers word with the token number; a word registered before gets the
    // new number. Numbers should differ from the tokenizer's token types, the
    // five operators above and any character code the caller tells apart.
    void InsertKeyword(const CZRString& word, int token);

    // Repeats the last lexer token on the next GetNextToken; the tokenizer's
    // own push-back is not touched.
    void PushBack() override;
    int GetNextToken() override;
    // The operators describe themselves ("<=", ":=", "..", ...); keyword numbers and
    // single characters give "'c'" from the low byte of the token number.
    CZRString GetStringValue() const override;

private:
    // A keyword by its text up to the first zero byte, which is all of a word
    // that is compared with it, and its token number.
    struct sKeyword
    {
        std::string text;
        int token = 0;
        bool used = false;
    };

    int JoinPair(int first);
    int FollowedBy(int second, int joined, int alone);
    int KeywordToken(const CZRString& word) const;
    std::size_t KeywordSlot(const char* text, std::size_t length) const;
    void GrowKeywords();

    bool m_bPushedBack;
    // Open addressing with linear probing: a power of two in size, at most half full.
    std::vector<sKeyword> m_Keywords;
    std::size_t m_nKeywordCount;
    int m_nTokenType;
};
