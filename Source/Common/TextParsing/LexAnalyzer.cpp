#include "Common/TextParsing/LexAnalyzer.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace
{
constexpr std::size_t kFirstKeywordSlots = 32;

// FNV-1a.
std::size_t Hash(const char* text, std::size_t length)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
    return static_cast<std::size_t>(hash);
}

const char* SafeText(const CZRString& text)
{
    return text.GetString() != nullptr ? text.GetString() : "";
}
} // namespace

CLexAnalyzer::CLexAnalyzer(const CZRString& text)
    : CStringTokenizer(text), m_bPushedBack(false), m_nKeywordCount(0), m_nTokenType(TOKEN_EOF)
{
}

CLexAnalyzer::CLexAnalyzer(const CLexAnalyzer& other) = default;
CLexAnalyzer& CLexAnalyzer::operator=(const CLexAnalyzer& other) = default;
CLexAnalyzer::~CLexAnalyzer() = default;

// Keywords and words are compared as the string class compares texts: up to
// the first zero byte, equal only when those bytes are (in either code page).
void CLexAnalyzer::InsertKeyword(const CZRString& word, int token)
{
    const char* text = SafeText(word);
    const std::size_t length = std::strlen(text);
    if ((m_nKeywordCount + 1) * 2 > m_Keywords.size())
        GrowKeywords();
    sKeyword& keyword = m_Keywords[KeywordSlot(text, length)];
    if (!keyword.used)
    {
        keyword.text.assign(text, length);
        keyword.used = true;
        ++m_nKeywordCount;
    }
    keyword.token = token;
}

int CLexAnalyzer::KeywordToken(const CZRString& word) const
{
    if (m_nKeywordCount == 0)
        return TOKEN_WORD;
    const char* text = SafeText(word);
    const sKeyword& keyword = m_Keywords[KeywordSlot(text, std::strlen(text))];
    return keyword.used ? keyword.token : TOKEN_WORD;
}

// The slot holding text, or the free one where it belongs.
std::size_t CLexAnalyzer::KeywordSlot(const char* text, std::size_t length) const
{
    const std::size_t mask = m_Keywords.size() - 1;
    for (std::size_t i = Hash(text, length) & mask;; i = (i + 1) & mask)
    {
        const sKeyword& keyword = m_Keywords[i];
        if (!keyword.used ||
            (keyword.text.size() == length && std::memcmp(keyword.text.data(), text, length) == 0))
            return i;
    }
}

void CLexAnalyzer::GrowKeywords()
{
    std::vector<sKeyword> old(m_Keywords.empty() ? kFirstKeywordSlots : m_Keywords.size() * 2);
    old.swap(m_Keywords);
    for (sKeyword& keyword : old)
        if (keyword.used)
            m_Keywords[KeywordSlot(keyword.text.data(), keyword.text.size())] = std::move(keyword);
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
        return m_nTokenType = KeywordToken(GetValueText());
    return m_nTokenType = JoinPair(token);
}

// The operator starters take the following token as the tokenizer reads it
// (comments between the two are skipped); when it does not complete a pair it
// is pushed back into the tokenizer whole, its values intact for the next read.
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
    if (ReadNextToken() == second)
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
    case TOKEN_DOT_DOT: return CZRString("..");
    default: break;
    }
    return DescribeToken(m_nTokenType);
}
