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
// The lookahead after a token that ended without reading ahead (and at the
// start): the next read takes the next character of the text. A token is never
// formed from it, so a caller who makes the space ordinary or a word character
// sees exactly the spaces of the text.
constexpr int kNothingRead = -2;

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
      m_nLookAhead(kNothingRead),
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
    m_nLookAhead = kNothingRead;
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

// Reading position and counters

// Where reading stands. A token is read on a local copy, which the scanning
// loops can keep in registers, and handed back to the tokenizer once at the end.
// Every byte consumed is counted as one character: a tab moves the column to
// the next tab stop, a line feed starts a new line, any other byte (a lone CR
// too) moves the column by one.
struct CStringTokenizer::sCursor
{
    const unsigned char* text;
    int length; // without the end mark
    int pos;
    int line;
    int column;
    bool startOfLine;
    int tab;     // at least 1
    int tabMask; // tab - 1 for a power of two, else -1

    int TabStop(int col) const
    {
        // The column is never negative, so the mask gives the remainder.
        return col + tab - (tabMask >= 0 ? col & tabMask : col % tab);
    }

    void Count(int c)
    {
        if (c == kLineFeed)
        {
            ++line;
            column = 1;
            startOfLine = true;
            return;
        }
        column = c == kTab ? TabStop(column) : column + 1;
        startOfLine = false;
    }

    // The next byte, consumed, or -1 at the end of the text.
    int Get()
    {
        if (pos >= length)
            return -1;
        const int c = text[pos++];
        Count(c);
        return c;
    }

    // Consumes the bytes up to index end, known to be neither tabs nor line feeds.
    void AdvancePlain(int end)
    {
        if (pos >= end)
            return;
        column += end - pos;
        startOfLine = false;
        pos = end;
    }

    // Consumes the bytes up to index end (pos <= end <= length).
    void Advance(int end)
    {
        if (pos >= end)
            return;
        int col = column;
        int ln = line;
        for (int i = pos; i < end; ++i)
        {
            const int c = text[i];
            if (c > kLineFeed || c < kTab)
                ++col;
            else if (c == kTab)
                col = TabStop(col);
            else
            {
                ++ln;
                col = 1;
            }
        }
        column = col;
        line = ln;
        startOfLine = text[end - 1] == kLineFeed;
        pos = end;
    }

    // Index of the first byte b at or after from and before to, or to.
    int Find(int from, int to, int b) const
    {
        if (from >= to)
            return to;
        const void* hit = std::memchr(text + from, b, static_cast<std::size_t>(to - from));
        return hit != nullptr ? static_cast<int>(static_cast<const unsigned char*>(hit) - text) : to;
    }
};

inline int CStringTokenizer::TextLength() const
{
    return static_cast<int>(m_strText.GetLength()) - 1;
}

inline const unsigned char* CStringTokenizer::Text() const
{
    return reinterpret_cast<const unsigned char*>(m_strText.GetString());
}

inline CStringTokenizer::sCursor CStringTokenizer::Cursor() const
{
    const int tab = m_nTabSize < 1 ? 1 : m_nTabSize;
    return sCursor{Text(), TextLength(), m_nPos, m_nLine, m_nColumn, m_bStartOfLine,
                   tab, (tab & (tab - 1)) == 0 ? tab - 1 : -1};
}

inline void CStringTokenizer::Commit(const sCursor& at)
{
    m_nPos = at.pos;
    m_nLine = at.line;
    m_nColumn = at.column;
    m_bStartOfLine = at.startOfLine;
}

inline int CStringTokenizer::GetCharType(int c) const
{
    return c < 256 ? m_aCharType[c & 0xFF] : CHAR_WORD;
}

// Tokens

int CStringTokenizer::GetNextToken()
{
    return NextToken(true);
}

int CStringTokenizer::ReadNextToken()
{
    return NextToken(false);
}

int CStringTokenizer::NextToken(bool handOnAfterComment)
{
    if (m_bPushedBack)
    {
        m_bPushedBack = false;
        return m_nTokenType;
    }
    // The token after a comment comes through the virtual GetNextToken, so that
    // a derived class reads it as its own. A run of comments is skipped here
    // first, so its length costs no stack: the token after the run is handed
    // over as a pushed-back token, values intact.
    sCursor at = Cursor();
    bool afterComment = false;
    int token = ReadToken(at);
    for (; token == kCommentSkipped; token = ReadToken(at))
        afterComment = true;
    Commit(at);
    m_nTokenType = token;
    if (!afterComment || !handOnAfterComment)
        return token;
    m_bPushedBack = true;
    return GetNextToken();
}

// One token from the lookahead on, or kCommentSkipped when a comment was
// consumed in its place.
inline int CStringTokenizer::ReadToken(sCursor& at)
{
    m_strValue.Empty();
    m_dNumValue = 0.0;
    int c = m_nLookAhead;
    if (c == kNothingRead)
        c = at.Get();
    if (c < 0)
    {
        m_nLookAhead = -1;
        return TOKEN_EOF;
    }
    const int lineEnd = SkipWhiteSpace(at, c);
    if (lineEnd != kNoToken)
        return lineEnd;

    const int type = GetCharType(c);
    if (type & CHAR_DIGIT)
        return ReadNumber(at, c);
    if (type & CHAR_WORD)
        return ReadWord(at, c);
    if (type & CHAR_COMMENT)
        return SkipLineComment(at);
    if (m_bAllowStringHandling && (type & CHAR_QUOTE))
        return ReadQuoted(at, c);
    if (c == '{' && m_bAllowPascalComments)
        return SkipPascalComment(at);
    if (c == '/' && (m_bAllowSlashSlashComments || m_bAllowSlashStarComments))
        return ReadAfterSlash(at);
    if (c == ';' && m_bAllowAssemblerComments)
        return SkipLineComment(at);
    if (c == '{' && m_bAllowTextBlocks)
    {
        const int d = at.Get();
        if (d == '!')
            return ReadTextBlock(at);
        m_nLookAhead = d;
        return '{';
    }
    m_nLookAhead = kNothingRead;
    return c;
}

// Skips white space from c on. Returns TOKEN_EOL or TOKEN_EOF when one ends
// the skip, kNoToken when c is left on the first character of a token.
inline int CStringTokenizer::SkipWhiteSpace(sCursor& at, int& c)
{
    while (GetCharType(c) & CHAR_WHITESPACE)
    {
        if (c == kReturn)
        {
            c = at.Get();
            if (c == kLineFeed)
                c = at.Get();
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
                m_nLookAhead = kNothingRead;
                return TOKEN_EOL;
            }
            c = SkipBlanks(at);
        }
        if (c < 0)
        {
            m_nLookAhead = -1;
            return TOKEN_EOF;
        }
    }
    return kNoToken;
}

// Consumes bytes up to and including the first one that is not plain white
// space (CR, and LF while line ends are significant, are not) and returns it,
// or -1 at the end of the text.
inline int CStringTokenizer::SkipBlanks(sCursor& at) const
{
    const bool eol = m_bEOLIsSignificant;
    while (at.pos < at.length)
    {
        const int c = at.text[at.pos++];
        at.Count(c);
        if (!(m_aCharType[c] & CHAR_WHITESPACE) || c == kReturn || (c == kLineFeed && eol))
            return c;
    }
    return -1;
}

// After a slash: a comment of either kind, or the slash itself.
inline int CStringTokenizer::ReadAfterSlash(sCursor& at)
{
    const int d = at.Get();
    if (d == '*' && m_bAllowSlashStarComments)
        return SkipBlockComment(at);
    if (d == '/' && m_bAllowSlashSlashComments)
        return SkipLineComment(at);
    m_nLookAhead = d;
    return '/';
}

// Digits with at most one point, from c (already consumed) on. A point without
// digits after it is not part of the number: "7." is the number 7 followed by
// the character '.', and the byte after the point is left unread.
inline int CStringTokenizer::ReadNumber(sCursor& at, int c)
{
    double value = c - '0';
    int fractionDigits = 0;
    bool point = false;
    int end = at.pos;
    for (; end < at.length; ++end)
    {
        const int d = at.text[end];
        if (d == '.' && !point)
            point = true;
        else if (d >= '0' && d <= '9')
        {
            value = value * 10.0 + (d - '0');
            if (point)
                ++fractionDigits;
        }
        else
            break;
    }
    at.AdvancePlain(end);
    if (point && fractionDigits == 0)
    {
        m_nLookAhead = '.';
        point = false;
    }
    else
        m_nLookAhead = at.Get();
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

inline int CStringTokenizer::ReadWord(sCursor& at, int c)
{
    int end = at.pos;
    while (end < at.length && (m_aCharType[at.text[end]] & (CHAR_WORD | CHAR_DIGIT)))
        ++end;
    const int count = end - at.pos;
    char* buffer = m_strValue.GetBuffer(count + 1);
    buffer[0] = static_cast<char>(c);
    std::memcpy(buffer + 1, at.text + at.pos, count);
    m_strValue.ReleaseBuffer(count + 1);
    if ((m_aCharType[kTab] | m_aCharType[kLineFeed]) & (CHAR_WORD | CHAR_DIGIT))
        at.Advance(end);
    else
        at.AdvancePlain(end);
    m_nLookAhead = at.Get();
    if (m_bForceLowerCase)
        m_strValue.MakeLower();
    return TOKEN_WORD;
}

// Decodes the quoted string starting at index i up to its closing character.
// Writes the first room bytes of the contents to out; count receives their
// whole length. Returns the index just past the last character the string
// consumes.
int CStringTokenizer::DecodeQuoted(int i, int quote, char* out, int room, int& count) const
{
    const unsigned char* text = Text();
    const int length = TextLength();
    count = 0;
    auto put = [&](int ch) {
        if (count < room)
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

// The value becomes count bytes from bytes; nothing is stored for none.
inline void CStringTokenizer::SetValue(const unsigned char* bytes, int count)
{
    if (count <= 0)
        return;
    std::memcpy(m_strValue.GetBuffer(count), bytes, count);
    m_strValue.ReleaseBuffer(count);
}

// A string without escapes is copied as it stands; one with escapes is decoded.
inline int CStringTokenizer::ReadQuoted(sCursor& at, int quote)
{
    m_nLookAhead = kNothingRead;
    const int start = at.pos;
    int stop = start;
    while (stop < at.length)
    {
        const int c = at.text[stop];
        if (c == quote || c == kLineFeed || c == kReturn || c == '\\')
            break;
        ++stop;
    }
    if (stop < at.length && at.text[stop] == '\\' && quote != '\\')
    {
        at.Advance(DecodeEscaped(start, quote));
        return quote;
    }
    SetValue(at.text + start, stop - start);
    // The closing byte, when there is one, is consumed with the string.
    at.Advance(stop < at.length ? stop + 1 : stop);
    return quote;
}

// Decodes into the value's present buffer when it is large enough, as it nearly
// always is once a few strings have been read; otherwise that pass has measured
// the contents and a second one decodes them into a buffer of their size.
// Returns the index just past the string.
int CStringTokenizer::DecodeEscaped(int start, int quote)
{
    const int room = static_cast<int>(m_strValue.GetData()->nCapacity);
    int count = 0;
    const int end = DecodeQuoted(start, quote, room > 0 ? m_strValue.GetBuffer(room - 1) : nullptr, room, count);
    if (room > 0)
        m_strValue.ReleaseBuffer(count <= room ? count : 0);
    if (count > room)
    {
        DecodeQuoted(start, quote, m_strValue.GetBuffer(count), count, count);
        m_strValue.ReleaseBuffer(count);
    }
    return end;
}

// After "{!": the text up to the first "!}", where a '!' always takes the byte
// after it along (so "!!}" does not end the block), with trailing white space
// trimmed. Without an end the rest of the text is consumed and TOKEN_EOF returned.
int CStringTokenizer::ReadTextBlock(sCursor& at)
{
    const unsigned char* text = at.text;
    const int start = at.pos;
    const int last = at.length - 1; // a '!' here has no byte after it
    int i = at.Find(start, last, '!');
    while (i < last && text[i + 1] != '}')
        i = at.Find(i + 2, last, '!');
    if (i >= last)
    {
        at.Advance(at.length);
        m_nLookAhead = -1;
        return TOKEN_EOF;
    }
    int end = i;
    while (end > start && m_aCharType[text[end - 1]] == CHAR_WHITESPACE)
        --end;
    SetValue(text + start, end - start);
    at.Advance(i + 2);
    m_nLookAhead = kNothingRead;
    return TOKEN_TEXTBLOCK;
}

// Comments: each is consumed and reported as kCommentSkipped; GetNextToken
// then reads the token after it.

// To the end of the line; the CR or LF that ends it is consumed as the lookahead.
inline int CStringTokenizer::SkipLineComment(sCursor& at)
{
    int end = at.pos;
    while (end < at.length && at.text[end] != kLineFeed && at.text[end] != kReturn)
        ++end;
    at.Advance(end);
    m_nLookAhead = at.Get();
    return kCommentSkipped;
}

// After "/*": up to the first "*/" whose star comes after the opening one.
int CStringTokenizer::SkipBlockComment(sCursor& at)
{
    const int last = at.length - 1;
    int i = at.Find(at.pos, last, '*');
    while (i < last && at.text[i + 1] != '/')
        i = at.Find(i + 1, last, '*');
    if (i >= last)
    {
        at.Advance(at.length);
        m_nLookAhead = -1;
        return TOKEN_EOF;
    }
    at.Advance(i + 2);
    m_nLookAhead = kNothingRead;
    return kCommentSkipped;
}

int CStringTokenizer::SkipPascalComment(sCursor& at)
{
    const int close = at.Find(at.pos, at.length, '}');
    if (close >= at.length)
    {
        at.Advance(at.length);
        m_nLookAhead = -1;
        return TOKEN_EOF;
    }
    at.Advance(close + 1);
    m_nLookAhead = kNothingRead;
    return kCommentSkipped;
}
