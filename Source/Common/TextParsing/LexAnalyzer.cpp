#include "Common/TextParsing/LexAnalyzer.h"

#include <cstring>

bool CLexAnalyzer::KeywordLess::operator()(const CZRString& a, const CZRString& b) const
{
    return a.Compare(b.GetString()) < 0;
}

CLexAnalyzer::CLexAnalyzer(const CZRString& text)
    : CStringTokenizer(text), m_bPushedBack(false), m_aKeywordFilter{}, m_nTokenType(TOKEN_EOF)
{
}

CLexAnalyzer::CLexAnalyzer(const CLexAnalyzer& other) = default;
CLexAnalyzer& CLexAnalyzer::operator=(const CLexAnalyzer& other) = default;
CLexAnalyzer::~CLexAnalyzer() = default;

void CLexAnalyzer::InsertKeyword(const CZRString& word, int token)
{
    m_Keywords[word] = token;
    const unsigned bit = FilterBit(word.GetString() != nullptr ? word.GetString() : "");
    m_aKeywordFilter[bit / 64] |= std::uint64_t{1} << bit % 64;
}

// The keyword comparison reads texts up to their first zero byte and finds only
// equal ones, so the first byte and that length are what a keyword and a word
// that matches it share.
unsigned CLexAnalyzer::FilterBit(const char* text)
{
    const std::size_t length = std::strlen(text);
    return (static_cast<unsigned char>(text[0]) + static_cast<unsigned>(length) * 37u) % 256u;
}

bool CLexAnalyzer::MayBeKeyword(const CZRString& word) const
{
    const unsigned bit = FilterBit(word.GetString());
    return (m_aKeywordFilter[bit / 64] >> bit % 64 & 1u) != 0;
}

void CLexAnalyzer::PushBack()
{
    m_bPushedBack = true;
}

int CLexAnalyzer::GetNextToken()
{
    if (m_bPushedBack)
    {
        m_bPushedBack = false;
        return m_nTokenType;
    }
    const int token = CStringTokenizer::GetNextToken();
    if (token == TOKEN_WORD)
    {
        const CZRString& word = GetValueText();
        if (!MayBeKeyword(word))
            return m_nTokenType = TOKEN_WORD;
        const auto keyword = m_Keywords.find(word);
        return m_nTokenType = keyword != m_Keywords.end() ? keyword->second : TOKEN_WORD;
    }
    return m_nTokenType = JoinPair(token);
}

// The operator starters take the following token; when it does not complete a
// pair it is pushed back into the tokenizer, its values intact for the next read.
int CLexAnalyzer::JoinPair(int first)
{
    switch (first)
    {
    case '.':
        return FollowedBy('.', TOKEN_DOT_DOT, '.');
    case '>':
        return FollowedBy('=', TOKEN_GREATER_EQUAL, '>');
    case ':':
        return FollowedBy('=', TOKEN_COLON_EQUAL, ':');
    case '<':
        if (FollowedBy('=', TOKEN_LESS_EQUAL, '<') == TOKEN_LESS_EQUAL)
            return TOKEN_LESS_EQUAL;
        return FollowedBy('>', TOKEN_LESS_GREATER, '<');
    default:
        return first;
    }
}

int CLexAnalyzer::FollowedBy(int second, int joined, int alone)
{
    if (CStringTokenizer::GetNextToken() == second)
        return joined;
    CStringTokenizer::PushBack();
    return alone;
}

CZRString CLexAnalyzer::GetStringValue() const
{
    switch (m_nTokenType)
    {
    case TOKEN_LESS_GREATER: return CZRString("<>");
    case TOKEN_COLON_EQUAL: return CZRString(":=");
    case TOKEN_LESS_EQUAL: return CZRString("<=");
    case TOKEN_GREATER_EQUAL: return CZRString(">=");
    default: break;
    }
    return DescribeToken(m_nTokenType);
}
