// Token starts: the tokenizer's rules for white space, comments and counters,
// as far as they decide where a token begins and which line and column that
// is. zrlex leaves the tokenizer's character classes at their defaults, so
// white space is the bytes 0 to 32.
#include "Zrlex.h"

namespace
{
constexpr unsigned char kLastWhiteSpace = 32;
constexpr unsigned char kTab = 9;
constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kReturn = 13;
} // namespace

CTokenStarts::CTokenStarts(const unsigned char* text, int length, const sLexOptions& options)
    : m_text(text), m_length(length), m_options(options)
{
}

int CTokenStarts::LineEnd(int from) const
{
    while (from < m_length && m_text[from] != kLineFeed && m_text[from] != kReturn)
        ++from;
    return from;
}

// In the tokenizer's order: a brace opens a Pascal comment before a text
// block, and a line comment leaves its line end to be read as white space or
// as a line end token. A comment that does not close runs to the end.
int CTokenStarts::Skip(int i) const
{
    const bool slash = !m_options.noSlashComments;
    while (i < m_length)
    {
        const unsigned char c = m_text[i];
        const int next = i + 1 < m_length ? m_text[i + 1] : -1;
        if (c <= kLastWhiteSpace)
        {
            if (m_options.eol && (c == kLineFeed || c == kReturn))
                return i;
            ++i;
        }
        else if (c == '{' && m_options.pascalComments)
        {
            while (++i < m_length && m_text[i] != '}')
            {
            }
            ++i;
        }
        else if (c == '/' && next == '/' && slash)
            i = LineEnd(i + 2);
        else if (c == '/' && next == '*' && slash)
        {
            // The star that closes must not be the one that opened.
            i += 2;
            while (i + 1 < m_length && !(m_text[i] == '*' && m_text[i + 1] == '/'))
                ++i;
            i += 2;
        }
        else if (c == ';' && m_options.asmComments)
            i = LineEnd(i + 1);
        else
            return i;
    }
    return m_length;
}

// As the tokenizer counts each character it takes: a tab moves the column to
// the next multiple of the tab size, a line feed starts the next line.
void CTokenStarts::Advance(sPosition& position, int index) const
{
    const int tab = m_options.tabSize < 1 ? 1 : m_options.tabSize;
    for (; position.index < index && position.index < m_length; ++position.index)
    {
        const unsigned char c = m_text[position.index];
        if (c == kTab)
            position.column += tab - position.column % tab;
        else
            ++position.column;
        if (c == kLineFeed)
        {
            ++position.line;
            position.column = 1;
        }
    }
}

CTokenStarts::sPosition CTokenStarts::Locate(int index)
{
    Advance(m_last, index);
    return m_last;
}
