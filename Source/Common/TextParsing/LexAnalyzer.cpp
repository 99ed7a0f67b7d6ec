#include "Common/TextParsing/LexAnalyzer.h"

bool CLexAnalyzer::KeywordLess::operator()(const CZRString& a, const CZRString& b) const
{
    return a.Compare(b.GetString()) < 0;
}

CLexAnalyzer::CLexAnalyzer(const CZRString& text)
    : CStringTokenizer(text), m_bPushedBack(false), m_nTokenType(TOKEN_EOF)
{
}

CLexAnalyzer::CLexAnalyzer(const CLexAnalyzer& other) = default;
CLexAnalyzer& CLexAnalyzer::operator=(const CLexAnalyzer& other) = default;
CLexAnalyzer::~CLexAnalyzer() = default;

void CLexAnalyzer::InsertKeyword(const CZRString& word, int token)
{
    m_Keywords[word] = token;
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
        const auto keyword = m_Keywords.find(CStringTokenizer::GetStringValue());
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
