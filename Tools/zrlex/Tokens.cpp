// zrlex: reads a file through the library's file object and prints what the
// lexer (or the plain tokenizer) makes of it, one token per line.
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "Common/Core/ZRException.h"
#include "Common/File/FileIO.h"
#include "Common/TextParsing/LexAnalyzer.h"
#include "Common/TextParsing/StringTokenizer.h"
#include "ToolCli.h"
#include "Zrlex.h"

namespace
{
// Scripts are small; a larger file is refused before anything is allocated.
constexpr unsigned long kMaxTextSize = 64ul << 20;

// Numbers the lexer returns for its own tokens: the tokenizer's types,
// character codes (TOKEN_EOL among them) and the five operators.
bool IsLexerNumber(long number)
{
    return (number >= TOKEN_TEXTBLOCK && number <= 255) ||
           (number >= TOKEN_DOT_DOT && number <= TOKEN_GREATER_EQUAL);
}

bool IsWordStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 160;
}

// A word as the tokenizer reads one: a word character, then word characters
// and digits.
bool IsWord(const std::string& text)
{
    if (text.empty() || !IsWordStart(static_cast<unsigned char>(text[0])))
        return false;
    for (unsigned char c : text)
        if (!IsWordStart(c) && !(c >= '0' && c <= '9'))
            return false;
    return true;
}

bool HasUpperCase(const std::string& text)
{
    for (char c : text)
        if (c >= 'A' && c <= 'Z')
            return true;
    return false;
}

// An optionally signed decimal number in the range of int.
bool ParseNumber(const std::string& text, int& number)
{
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return false;
    }
    value = text[0] == '-' ? -value : value;
    if (value > 2147483647LL)
        return false;
    number = static_cast<int>(value);
    return true;
}

std::string Quoted(const std::string& text)
{
    return "'" + PrintableAscii(text) + "'";
}

bool ParseKeyword(const std::string& entry, bool lower, sKeyword& keyword, std::string& problem)
{
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == entry.size())
    {
        problem = Quoted(entry) + " is not WORD=NUMBER";
        return false;
    }
    keyword.word = entry.substr(0, equals);
    const std::string number = entry.substr(equals + 1);
    if (!IsWord(keyword.word))
        problem = Quoted(keyword.word) +
                  " is no word: a letter, '_' or byte from 0xA0 on first, then also digits";
    else if (lower && HasUpperCase(keyword.word))
        problem = Quoted(keyword.word) + " never matches with --lower: words are lower-cased first";
    else if (!ParseNumber(number, keyword.number))
        problem = Quoted(number) + " is no whole number in the range of int";
    else if (IsLexerNumber(keyword.number))
        problem = "the number of " + Quoted(keyword.word) +
                  " is one the lexer returns itself (-54 to -50, -5 to 255)";
    return problem.empty();
}

struct sOperator
{
    int type;
    const char* name;
    const char* text;
};

constexpr sOperator kOperators[] = {
    {TOKEN_GREATER_EQUAL, "GREATER_EQUAL", ">="}, {TOKEN_LESS_EQUAL, "LESS_EQUAL", "<="},
    {TOKEN_COLON_EQUAL, "COLON_EQUAL", ":="},     {TOKEN_LESS_GREATER, "LESS_GREATER", "<>"},
    {TOKEN_DOT_DOT, "DOT_DOT", ".."},
};

const sOperator* FindOperator(int type)
{
    for (const sOperator& op : kOperators)
        if (op.type == type)
            return &op;
    return nullptr;
}

// A single character, other than a line end; a quote only while strings are off.
bool IsCharacter(int type, const sLexOptions& options)
{
    return type >= 0 && type <= 255 && type != TOKEN_EOL &&
           (options.noStrings || (type != '"' && type != '\''));
}

std::string TypeName(int type, const sLexOptions& options)
{
    if (IsCharacter(type, options))
        return "CHAR";
    switch (type)
    {
    case TOKEN_EOF: return "EOF";
    case TOKEN_INTEGER: return "INTEGER";
    case TOKEN_REAL: return "REAL";
    case TOKEN_WORD: return "WORD";
    case TOKEN_TEXTBLOCK: return "TEXTBLOCK";
    case TOKEN_EOL: return "EOL";
    case '"': return "STRING(\")";
    case '\'': return "STRING(')";
    default: break;
    }
    if (const sOperator* op = FindOperator(type))
        return op->name;
    return "KEYWORD(" + std::to_string(type) + ")";
}

std::string Bytes(const CZRString& text)
{
    const char* bytes = text.GetString();
    return bytes != nullptr ? std::string(bytes, static_cast<std::size_t>(text.GetLength()))
                            : std::string();
}

// Whether the tokenizer, having read a token of this type starting with the
// character first, holds the character after it as its lookahead: it then
// resumes one character back.
bool TakesLookahead(int type, unsigned char first, const sLexOptions& options)
{
    if (type == TOKEN_WORD || type == TOKEN_INTEGER || type == TOKEN_REAL)
        return true;
    if (type == TOKEN_EOL)
        return first == '\r';
    if (type == '/')
        return !options.noSlashComments;
    if (type == '{')
        return options.textBlocks;
    return false;
}

void Configure(CStringTokenizer& tokenizer, const sLexOptions& options)
{
    tokenizer.AllowSlashSlashComments(!options.noSlashComments);
    tokenizer.AllowSlashStarComments(!options.noSlashComments);
    tokenizer.AllowPascalComments(options.pascalComments);
    tokenizer.AllowTextBlocks(options.textBlocks);
    tokenizer.AllowAssemblerComments(options.asmComments);
    tokenizer.AllowStringHandling(!options.noStrings);
    tokenizer.ForceLowerCaseMode(options.lower);
    tokenizer.EOLIsSignificant(options.eol);
    tokenizer.SetTabSize(options.tabSize);
}

struct sToken
{
    int type;
    std::string value;  // as GetStringValue describes it, unescaped
    CTokenStarts::sPosition at;
};

// The plain tokenizer's tokens, each with the position where it begins.
class CTokenTrack
{
public:
    CTokenTrack(const CZRString& text, const sLexOptions& options)
        : m_tokenizer(text),
          m_text(reinterpret_cast<const unsigned char*>(text.GetString())),
          m_length(static_cast<int>(text.GetLength())),
          m_starts(m_text, m_length, options),
          m_options(options)
    {
        Configure(m_tokenizer, options);
    }

    sToken Next()
    {
        const int resume = m_tokenizer.GetPosInString() - (m_lookahead ? 1 : 0);
        sToken token{m_tokenizer.GetNextToken(), Bytes(m_tokenizer.GetStringValue()), {}};
        if (token.type == TOKEN_EOF)
        {
            // All is read: the counters stand after the last character.
            token.at = {m_length, m_tokenizer.GetLineNumber(), m_tokenizer.GetColumnNumber()};
            return token;
        }
        const int start = m_starts.Skip(resume);
        token.at = m_starts.Locate(start);
        m_lookahead = TakesLookahead(token.type, start < m_length ? m_text[start] : 0, m_options);
        return token;
    }

private:
    CStringTokenizer m_tokenizer;
    const unsigned char* m_text;
    int m_length;
    CTokenStarts m_starts;
    const sLexOptions& m_options;
    bool m_lookahead = false;
};

// The lexer's tokens are the tokenizer's with operator pairs joined, so the
// lexer reads alongside the plain tokenizer and takes its positions.
class CLexerTrack
{
public:
    CLexerTrack(const CZRString& text, const sLexOptions& options)
        : m_lexer(text), m_track(text, options)
    {
        Configure(m_lexer, options);
        for (const sKeyword& keyword : options.keywords)
            m_lexer.InsertKeyword(keyword.word.c_str(), keyword.number);
    }

    sToken Next()
    {
        sToken token{m_lexer.GetNextToken(), "", {}};
        const sOperator* op = FindOperator(token.type);
        const bool keyword = op == nullptr && !IsLexerNumber(token.type);
        if (op != nullptr)
            token.value = op->text;
        else if (keyword)
            token.value = Bytes(m_lexer.CStringTokenizer::GetStringValue());
        else
            token.value = Bytes(m_lexer.GetStringValue());
        if (token.type == TOKEN_EOF)
        {
            token.at = {0, m_lexer.GetLineNumber(), m_lexer.GetColumnNumber()};
            return token;
        }
        // The first of the tokenizer's tokens that the lexer has read and that
        // fits; the ones passed over are tokens the lexer dropped.
        const int read = m_lexer.GetPosInString();
        for (std::size_t i = 0; i == 0 || Upcoming(i).at.index < read; ++i)
        {
            const sToken& first = Upcoming(i);
            const bool fits =
                op != nullptr ? first.type == op->text[0] && Upcoming(i + 1).type == op->text[1]
                              : first.type == (keyword ? TOKEN_WORD : token.type);
            if (fits)
            {
                token.at = first.at;
                m_upcoming.erase(m_upcoming.begin(), m_upcoming.begin() + i + (op ? 2 : 1));
                return token;
            }
        }
        token.at = Upcoming(0).at;
        return token;
    }

private:
    const sToken& Upcoming(std::size_t i)
    {
        while (m_upcoming.size() <= i)
            m_upcoming.push_back(m_track.Next());
        return m_upcoming[i];
    }

    CLexAnalyzer m_lexer;
    CTokenTrack m_track;
    std::deque<sToken> m_upcoming;
};

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

bool Print(int line, int column, const std::string& type, const std::string& value)
{
    std::string text = Padded(std::to_string(line) + ":" + std::to_string(column), 8) + type;
    if (!value.empty())
        text = Padded(text, 23) + value;
    text += '\n';
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// The whole file through the library's file object, so that names under its
// roots and inside archives open too.
int Load(const std::string& name, CZRString& text)
{
    try
    {
        CFileIO file;
        file.Open(name.c_str(), FILEMODE_READ);
        const unsigned long size = file.GetSize();
        if (size > kMaxTextSize)
            return Fail(name, "too large: " + std::to_string(size) + " bytes (at most " +
                                  std::to_string(kMaxTextSize) + ")");
        if (size == 0)
            return kExitOk;
        const int length = static_cast<int>(size);
        const bool read = file.Read(text.GetBuffer(length), size);
        text.ReleaseBuffer(read ? length : 0);
        return read ? kExitOk : FailWithCause(name, "cannot read the file");
    }
    catch (const CZRException& error)
    {
        return Fail(name, error);
    }
}
} // namespace

bool ParseKeywords(const std::string& list, bool lower, std::vector<sKeyword>& keywords,
                   std::string& problem)
{
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t comma = list.find(',', start);
        const std::string entry = list.substr(start, comma - start);
        sKeyword keyword;
        if (entry.empty())
        {
            problem = "empty entry in " + Quoted(list);
            return false;
        }
        if (!ParseKeyword(entry, lower, keyword, problem))
            return false;
        keywords.push_back(keyword);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

int PrintTokens(const std::string& file, const sLexOptions& options)
{
    CZRString text;
    if (const int status = Load(file, text); status != kExitOk)
        return status;
    const bool lexer = !options.tokenizerOnly;
    std::unique_ptr<CLexerTrack> lexerTrack;
    std::unique_ptr<CTokenTrack> tokenizerTrack;
    if (lexer)
        lexerTrack = std::make_unique<CLexerTrack>(text, options);
    else
        tokenizerTrack = std::make_unique<CTokenTrack>(text, options);
    bool written = true;
    for (int type = 0; type != TOKEN_EOF;)
    {
        const sToken token = lexer ? lexerTrack->Next() : tokenizerTrack->Next();
        type = token.type;
        // A character shows as GetStringValue describes one; for a quote it
        // describes the last string value instead.
        const std::string value =
            IsCharacter(type, options) ? "'" + std::string(1, char(type)) + "'" : token.value;
        written = written && Print(token.at.line, token.at.column, TypeName(type, options),
                                   PrintableAscii(value));
    }
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail("stdout", "write error");
    return kExitOk;
}
