#include "Common/TextParsing/StringTokenizer.h"

#include <cstring>

namespace
{
constexpr int kEndMark = 0xFF;
constexpr int kSpace = 32;
constexpr int kTab = 9;
constexpr int kLineFeed = 10;
constexpr int kReturn = 13;
// Internal results of the token readers, outside every token type's range.
constexpr int kCommentSkipped = -1000;
constexpr int kNoToken = -1001;

bool IsOctal(int c)
{
    return c >= '0' && c <= '7';
}
} // namespace

// Construction and copying

CStringTokenizer::CStringTokenizer(const CZRString& text)
    : m_nPos(0),
      m_dNumValue(0.0),
      m_strText(text),
      m_bAllowSlashSlashComments(true),
      m_bAllowSlashStarComments(true),
      m_bAllowPascalComments(false),
      m_bAllowTextBlocks(false),
      m_bAllowAssemblerComments(false),
      m_bAllowStringHandling(true),
      m_bForceLowerCase(false),
      m_bEOLIsSignificant(false),
      m_bPushedBack(false),
      m_nLine(1),
      m_nColumn(1),
      m_nLookAhead(kSpace),
      m_nTokenType(TOKEN_EOF),
      m_nTabSize(4),
      m_bStartOfLine(true)
{
    m_strText += static_cast<char>(kEndMark);
    ResetCharacterTypeTable();
    WordChars('a', 'z');
    WordChars('A', 'Z');
    WordChars(160, 255);
    WordChars('_', '_');
    QuoteChar('"');
    QuoteChar('\'');
    WhiteSpaceChars(0, kSpace);
    ParseNumbers();
}

CStringTokenizer::CStringTokenizer(const CStringTokenizer& other) = default;
CStringTokenizer& CStringTokenizer::operator=(const CStringTokenizer& other) = default;
CStringTokenizer::~CStringTokenizer() = default;

const CZRString& CStringTokenizer::GetOriginalString() const
{
    return m_strText;
}

// Configuration

void CStringTokenizer::ResetCharacterTypeTable()
{
    std::memset(m_aCharType, 0, sizeof(m_aCharType));
}

void CStringTokenizer::ParseNumbers()
{
    for (int c = '0'; c <= '9'; ++c)
        m_aCharType[c] |= CHAR_DIGIT;
}

void CStringTokenizer::WordChars(int lo, int hi)
{
    for (int c = lo < 0 ? 0 : lo; c <= hi && c <= 255; ++c)
        m_aCharType[c] |= CHAR_WORD;
}

void CStringTokenizer::WhiteSpaceChars(int lo, int hi)
{
    for (int c = lo < 0 ? 0 : lo; c <= hi && c <= 255; ++c)
        m_aCharType[c] |= CHAR_WHITESPACE;
}

void CStringTokenizer::OrdinaryChars(int lo, int hi)
{
    for (int c = lo < 0 ? 0 : lo; c <= hi && c <= 255; ++c)
        m_aCharType[c] = 0;
}

void CStringTokenizer::OrdinaryChar(int c)
{
    m_aCharType[c & 0xFF] = 0;
}

void CStringTokenizer::CommentChar(int c)
{
    m_aCharType[c & 0xFF] = CHAR_COMMENT;
}

void CStringTokenizer::QuoteChar(int c)
{
    m_aCharType[c & 0xFF] = CHAR_QUOTE;
}

void CStringTokenizer::AllowSlashSlashComments(bool allow) { m_bAllowSlashSlashComments = allow; }
void CStringTokenizer::AllowSlashStarComments(bool allow) { m_bAllowSlashStarComments = allow; }
void CStringTokenizer::AllowPascalComments(bool allow) { m_bAllowPascalComments = allow; }
void CStringTokenizer::AllowTextBlocks(bool allow) { m_bAllowTextBlocks = allow; }
void CStringTokenizer::AllowAssemblerComments(bool allow) { m_bAllowAssemblerComments = allow; }
void CStringTokenizer::AllowStringHandling(bool allow) { m_bAllowStringHandling = allow; }
void CStringTokenizer::ForceLowerCaseMode(bool lower) { m_bForceLowerCase = lower; }
void CStringTokenizer::EOLIsSignificant(bool significant) { m_bEOLIsSignificant = significant; }
void CStringTokenizer::SetTabSize(int size) { m_nTabSize = size; }

// Reading state

void CStringTokenizer::Rewind()
{
    m_nPos = 0;
    m_nLine = 1;
    m_nColumn = 1;
    m_bStartOfLine = true;
    m_bPushedBack = false;
    m_strValue.Empty();
    m_dNumValue = 0.0;
    m_nLookAhead = kSpace;
}

void CStringTokenizer::PushBack() { m_bPushedBack = true; }
double CStringTokenizer::GetNumValue() const { return m_dNumValue; }
int CStringTokenizer::GetLineNumber() const { return m_nLine; }
int CStringTokenizer::GetColumnNumber() const { return m_nColumn; }
bool CStringTokenizer::IsStartOfLine() const { return m_bStartOfLine; }
int CStringTokenizer::GetPosInString() const { return m_nPos; }

void CStringTokenizer::SetPosInString(int pos)
{
    // Kept within the text so that reading can never leave it.
    const int length = TextLength();
    m_nPos = pos < 0 ? 0 : pos > length ? length : pos;
}

CZRString CStringTokenizer::GetStringValue() const
{
    return DescribeToken(m_nTokenType);
}

CZRString CStringTokenizer::DescribeToken(int type) const
{
    CZRString result;
    switch (type)
    {
    case TOKEN_WORD:
    case TOKEN_TEXTBLOCK:
    case '"':
    case '\'':
        return m_strValue;
    case TOKEN_INTEGER:
    case TOKEN_REAL:
        result.Format("%f", m_dNumValue);
        return result;
    case TOKEN_EOF:
        return CZRString("EOF");
    case TOKEN_EOL:
        return CZRString("EOL");
    default:
        result.Format("'%c'", static_cast<char>(type & 0xFF));
        return result;
    }
}

// Characters

int CStringTokenizer::TextLength() const
{
    return static_cast<int>(m_strText.GetLength()) - 1;
}

const unsigned char* CStringTokenizer::Text() const
{
    return reinterpret_cast<const unsigned char*>(m_strText.GetString());
}

int CStringTokenizer::GetChar()
{
    if (m_nPos >= TextLength())
        return -1;
    const int c = Text()[m_nPos++];
    if (c == kTab)
    {
        const int size = m_nTabSize < 1 ? 1 : m_nTabSize;
        m_nColumn += size - m_nColumn % size;
    }
    else
        ++m_nColumn;
    if (c == kLineFeed)
        NewLine();
    else
        m_bStartOfLine = false;
    return c;
}

int CStringTokenizer::LookAhead() const
{
    return m_nPos + 1 < TextLength() ? Text()[m_nPos + 1] : -1;
}

int CStringTokenizer::GetCharType(int c) const
{
    return c < 256 ? m_aCharType[c & 0xFF] : CHAR_WORD;
}

void CStringTokenizer::NewLine()
{
    ++m_nLine;
    StartOfLine();
}

void CStringTokenizer::StartOfLine()
{
    m_nColumn = 1;
    m_bStartOfLine = true;
}

// Consumes the characters up to (not including) index end, counting lines and
// columns as they pass.
void CStringTokenizer::SkipTo(int end)
{
    while (m_nPos < end && GetChar() >= 0)
    {
    }
}

// Tokens

int CStringTokenizer::GetNextToken()
{
    if (m_bPushedBack)
    {
        m_bPushedBack = false;
        return m_nTokenType;
    }
    int token = ReadToken();
    if (token != kCommentSkipped)
        return m_nTokenType = token;
    // The token after a comment comes through the virtual GetNextToken, so that
    // a derived class reads it as its own. A run of comments is skipped here
    // first, so its length costs no stack: the token after the run is handed
    // over as a pushed-back token, values intact.
    do
        token = ReadToken();
    while (token == kCommentSkipped);
    m_nTokenType = token;
    m_bPushedBack = true;
    return GetNextToken();
}

// One token from the lookahead on, or kCommentSkipped when a comment was
// consumed in its place.
int CStringTokenizer::ReadToken()
{
    m_strValue.Empty();
    m_dNumValue = 0.0;
    int c = m_nLookAhead;
    if (c < 0)
        return TOKEN_EOF;
    const int lineEnd = SkipWhiteSpace(c);
    if (lineEnd != kNoToken)
        return lineEnd;

    const int type = GetCharType(c);
    if (type & CHAR_DIGIT)
        return ReadNumber(c);
    if (type & CHAR_WORD)
        return ReadWord(c);
    if (type & CHAR_COMMENT)
        return SkipLineComment();
    if (m_bAllowStringHandling && (type & CHAR_QUOTE))
        return ReadQuoted(c);
    if (c == '{' && m_bAllowPascalComments)
        return SkipPascalComment();
    if (c == '/' && (m_bAllowSlashSlashComments || m_bAllowSlashStarComments))
        return ReadAfterSlash();
    if (c == ';' && m_bAllowAssemblerComments)
        return SkipLineComment();
    if (c == '{' && m_bAllowTextBlocks)
    {
        const int d = GetChar();
        if (d == '!')
            return ReadTextBlock();
        m_nLookAhead = d;
        return '{';
    }
    m_nLookAhead = kSpace;
    return c;
}

// Skips white space from c on. Returns TOKEN_EOL or TOKEN_EOF when one ends
// the skip, kNoToken when c is left on the first character of a token.
int CStringTokenizer::SkipWhiteSpace(int& c)
{
    while (GetCharType(c) & CHAR_WHITESPACE)
    {
        if (c == kReturn)
        {
            c = GetChar();
            if (c == kLineFeed)
                c = GetChar();
            if (m_bEOLIsSignificant)
            {
                m_nLookAhead = c;
                return TOKEN_EOL;
            }
        }
        else
        {
            if (c == kLineFeed && m_bEOLIsSignificant)
            {
                m_nLookAhead = kSpace;
                return TOKEN_EOL;
            }
            c = GetChar();
        }
        if (c < 0)
        {
            m_nLookAhead = -1;
            return TOKEN_EOF;
        }
    }
    return kNoToken;
}

// After a slash: a comment of either kind, or the slash itself.
int CStringTokenizer::ReadAfterSlash()
{
    const int d = GetChar();
    if (d == '*' && m_bAllowSlashStarComments)
        return SkipBlockComment();
    if (d == '/' && m_bAllowSlashSlashComments)
        return SkipLineComment();
    m_nLookAhead = d;
    return '/';
}

int CStringTokenizer::ReadNumber(int c)
{
    double value = 0.0;
    int fractionDigits = 0;
    bool point = false;
    // Where the counters stood before the character that ends the number, so a
    // trailing point can be given back whole.
    int line = m_nLine;
    int column = m_nColumn;
    bool startOfLine = m_bStartOfLine;
    for (;;)
    {
        if (c == '.' && !point)
            point = true;
        else if (c >= '0' && c <= '9')
        {
            value = value * 10.0 + (c - '0');
            if (point)
                ++fractionDigits;
        }
        else
            break;
        line = m_nLine;
        column = m_nColumn;
        startOfLine = m_bStartOfLine;
        c = GetChar();
    }
    m_nLookAhead = c;
    if (point && fractionDigits == 0)
    {
        // "7." is the number 7 followed by the character '.'.
        if (c >= 0)
        {
            --m_nPos;
            m_nLine = line;
            m_nColumn = column;
            m_bStartOfLine = startOfLine;
        }
        m_nLookAhead = '.';
        point = false;
    }
    if (fractionDigits > 0)
    {
        double divisor = 10.0;
        for (int i = 1; i < fractionDigits; ++i)
            divisor *= 10.0;
        value /= divisor;
    }
    m_dNumValue = value;
    return point ? TOKEN_REAL : TOKEN_INTEGER;
}

int CStringTokenizer::ReadWord(int c)
{
    const unsigned char* text = Text();
    const int length = TextLength();
    int end = m_nPos;
    while (end < length && (m_aCharType[text[end]] & (CHAR_WORD | CHAR_DIGIT)))
        ++end;
    const int count = end - m_nPos;
    char* buffer = m_strValue.GetBuffer(count + 1);
    buffer[0] = static_cast<char>(c);
    std::memcpy(buffer + 1, text + m_nPos, count);
    m_strValue.ReleaseBuffer(count + 1);
    SkipTo(end);
    m_nLookAhead = GetChar();
    if (m_bForceLowerCase)
        m_strValue.MakeLower();
    return TOKEN_WORD;
}

// Decodes the quoted string starting at index i up to its closing character.
// Writes the contents to out unless it is null; count receives their length.
// Returns the index just past the last character the string consumes.
int CStringTokenizer::DecodeQuoted(int i, int quote, char* out, int& count) const
{
    const unsigned char* text = Text();
    const int length = TextLength();
    count = 0;
    auto put = [&](int ch) {
        if (out != nullptr)
            out[count] = static_cast<char>(ch);
        ++count;
    };
    while (i < length)
    {
        int c = text[i++];
        if (c == quote || c == kLineFeed || c == kReturn)
            return i;
        if (c != '\\')
        {
            put(c);
            continue;
        }
        if (i >= length)
            break;
        c = text[i++];
        switch (c)
        {
        case 'a': put(7); continue;
        case 'b': put(8); continue;
        case 'f': put(12); continue;
        case 'n': put(10); continue;
        case 'r': put(13); continue;
        case 't': put(9); continue;
        case 'v': put(11); continue;
        default: break;
        }
        if (!IsOctal(c))
        {
            put(c);
            continue;
        }
        int value = c - '0';
        for (int digits = 1; digits < 3; ++digits)
        {
            if (i >= length)
                return length;
            c = text[i++];
            if (m_aCharType[c] & CHAR_QUOTE)
            {
                put(value & 0xFF);
                return i;
            }
            if (!IsOctal(c))
            {
                put(value & 0xFF);
                put(c);
                value = -1;
                break;
            }
            value = value * 8 + (c - '0');
        }
        if (value >= 0)
            put(value & 0xFF);
    }
    return length;
}

int CStringTokenizer::ReadQuoted(int quote)
{
    m_nLookAhead = kSpace;
    // Measured first, so the value is allocated once at its final size.
    int count = 0;
    DecodeQuoted(m_nPos, quote, nullptr, count);
    int end = m_nPos;
    if (count > 0)
    {
        end = DecodeQuoted(m_nPos, quote, m_strValue.GetBuffer(count), count);
        m_strValue.ReleaseBuffer(count);
    }
    else
        end = DecodeQuoted(m_nPos, quote, nullptr, count);
    SkipTo(end);
    return quote;
}

int CStringTokenizer::ReadTextBlock()
{
    const unsigned char* text = Text();
    const int length = TextLength();
    const int start = m_nPos;
    int i = start;
    for (;;)
    {
        if (i + 1 >= length)
        {
            SkipTo(length);
            m_nLookAhead = -1;
            return TOKEN_EOF;
        }
        if (text[i] != '!')
            ++i;
        else if (text[i + 1] == '}')
            break;
        else
            i += 2;
    }
    int end = i;
    while (end > start && m_aCharType[text[end - 1]] == CHAR_WHITESPACE)
        --end;
    if (end > start)
    {
        char* buffer = m_strValue.GetBuffer(end - start);
        std::memcpy(buffer, text + start, end - start);
        m_strValue.ReleaseBuffer(end - start);
    }
    SkipTo(i + 2);
    m_nLookAhead = kSpace;
    return TOKEN_TEXTBLOCK;
}

// Comments: each is consumed and reported as kCommentSkipped; GetNextToken
// then reads the token after it.

int CStringTokenizer::SkipLineComment()
{
    int c = GetChar();
    while (c >= 0 && c != kLineFeed && c != kReturn)
        c = GetChar();
    m_nLookAhead = c;
    return kCommentSkipped;
}

int CStringTokenizer::SkipBlockComment()
{
    int previous = -1;
    for (;;)
    {
        const int c = GetChar();
        if (c < 0)
        {
            m_nLookAhead = -1;
            return TOKEN_EOF;
        }
        if (c == '/' && previous == '*')
            break;
        previous = c;
    }
    m_nLookAhead = kSpace;
    return kCommentSkipped;
}

int CStringTokenizer::SkipPascalComment()
{
    for (;;)
    {
        const int c = GetChar();
        if (c < 0)
        {
            m_nLookAhead = -1;
            return TOKEN_EOF;
        }
        if (c == '}')
            break;
    }
    m_nLookAhead = kSpace;
    return kCommentSkipped;
}
