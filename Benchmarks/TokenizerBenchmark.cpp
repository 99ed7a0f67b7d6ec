// Tokenizing engine script: CStringTokenizer and CLexAnalyzer over 4 MB of
// generated script, beside a plain white-space splitter over the same bytes as
// the yardstick. Two dialects, each read with the flags its text needs:
//   Braces  // and /* */ comments, {! text blocks !}, ';' ends statements.
//   Pascal  { } and ; comments besides // and /* */, mixed-case words read in
//           lower-case mode.
// Both have tabs, CRLF and LF line ends, strings with escapes (\n, \t, \101,
// \\, \"), integers, reals and the operator pairs >=, <=, :=, <> and ..
//
// The text comes from a fixed-seed generator, so every run reads the same bytes.
// The tokenizer copies its text when built, so it is built once, outside the
// timed loop; each iteration rewinds it and reads to TOKEN_EOF. A reader takes
// the text of words, strings and text blocks and the value of numbers, as a
// parser would; the splitter hands each token on as a std::string_view.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "Common/TextParsing/LexAnalyzer.h"
#include "Common/TextParsing/StringTokenizer.h"
#include "Support/SplitMix64.h"

namespace
{
constexpr std::size_t kTextSize = 4u << 20;

enum class Dialect
{
    Braces,
    Pascal
};

using CRandom = CSplitMix64;

const char* const kKeywords[] = {"if", "then", "else", "end", "while", "do", "for", "to",
                                 "function", "return", "local", "begin", "and", "or", "not",
                                 "true", "false", "repeat", "until", "var", "procedure", "const"};
const char* const kNames[] = {"m_nHealth", "PlayerSpeed", "target_x", "target_y", "i", "j", "count",
                              "SpawnPoint", "m_pOwner", "velocity", "Door_03", "trigger",
                              "AmbientLight", "nextState", "m_fTimer", "weapon", "ammo_left",
                              "CameraShake", "pathNode", "result", "OnEnter", "GetActor",
                              "SetProperty", "PlaySound", "score", "Lerp", "inventory", "dt"};
const char* const kOperators[] = {"+", "-", "*", "/", "=", ">=", "<=", ":=", "<>", "..", ",",
                                  "<", ">", "(", ")", "[", "]", ".", "&", "|", "!", "%", "#"};
const char* const kEscapes[] = {"\\n", "\\t", "\\101", "\\\\", "\\\"", "\\17", "\\r"};
const char* const kProse[] = {"the", "door", "opens", "when", "player", "enters", "zone", "see",
                              "note", "todo:", "fix", "this", "later", "keep", "in", "sync", "with",
                              "editor", "values", "(seconds)", "-", "was", "3", "before"};

class CScriptWriter
{
public:
    explicit CScriptWriter(Dialect dialect) : m_dialect(dialect), m_random(dialect == Dialect::Braces ? 1 : 2) {}

    std::string Write(std::size_t size)
    {
        m_text.reserve(size + 4096);
        while (m_text.size() < size)
            Chunk();
        return m_text;
    }

private:
    bool Braces() const { return m_dialect == Dialect::Braces; }

    void LineEnd() { m_text += m_crlf ? "\r\n" : "\n"; }

    void Indent(int depth)
    {
        if (m_random.Chance(10))
            m_text.append(static_cast<std::size_t>(depth) * 4, ' ');
        else
            m_text.append(static_cast<std::size_t>(depth), '\t');
    }

    void Prose(int words)
    {
        for (int i = 0; i < words; ++i)
        {
            m_text += ' ';
            m_text += m_random.Pick(kProse);
        }
    }

    // A function or procedure of a few dozen lines, after a block comment.
    void Chunk()
    {
        if (m_random.Chance(5))
            m_crlf = !m_crlf;
        BlockComment();
        Word(m_random.Chance(50) ? "function" : "procedure");
        m_text += ' ';
        m_text += m_random.Pick(kNames);
        m_text += "(a, b)";
        LineEnd();
        m_text += Braces() ? "{" : "begin";
        LineEnd();
        const int lines = 10 + m_random.Below(30);
        for (int line = 0; line < lines; ++line)
            Line(1 + m_random.Below(3));
        m_text += Braces() ? "}" : "end";
        LineEnd();
        LineEnd();
    }

    void BlockComment()
    {
        const int lines = 1 + m_random.Below(4);
        m_text += Braces() || m_random.Chance(30) ? "/*" : "{";
        const bool slashStar = m_text.back() == '*';
        for (int line = 0; line < lines; ++line)
        {
            Prose(3 + m_random.Below(8));
            LineEnd();
            m_text += slashStar ? " *" : " ";
        }
        m_text += slashStar ? "/" : "}";
        LineEnd();
    }

    void Line(int depth)
    {
        Indent(depth);
        const int kind = m_random.Below(100);
        if (kind < 8)
            LineComment();
        else if (kind < 12 && Braces())
            TextBlock();
        else
        {
            Statement();
            if (m_random.Chance(20))
                TrailingComment();
        }
        LineEnd();
    }

    void LineComment()
    {
        m_text += Braces() || m_random.Chance(40) ? "//" : ";";
        Prose(2 + m_random.Below(10));
    }

    void TrailingComment()
    {
        m_text += m_random.Chance(60) ? "\t" : " ";
        if (Braces())
            m_text += m_random.Chance(70) ? "//" : "/*";
        else
            m_text += m_random.Chance(50) ? ";" : "{";
        const char last = m_text.back();
        Prose(1 + m_random.Below(6));
        m_text += last == '*' ? " */" : last == '{' ? " }" : "";
    }

    void TextBlock()
    {
        m_text += "text := {!";
        const int lines = 1 + m_random.Below(3);
        for (int line = 0; line < lines; ++line)
        {
            Prose(4 + m_random.Below(8));
            LineEnd();
        }
        m_text += "\t!}";
    }

    void Statement()
    {
        const int tokens = 3 + m_random.Below(10);
        for (int i = 0; i < tokens; ++i)
        {
            if (i > 0 && m_random.Chance(85))
                m_text += ' ';
            Token();
        }
        if (Braces())
            m_text += ';';
    }

    void Token()
    {
        const int kind = m_random.Below(100);
        if (kind < 30)
            Word(m_random.Pick(kNames));
        else if (kind < 42)
            Word(m_random.Pick(kKeywords));
        else if (kind < 52)
            m_text += std::to_string(m_random.Below(kind < 47 ? 100 : 100000));
        else if (kind < 58)
            Real();
        else if (kind < 65)
            String();
        else
            m_text += m_random.Pick(kOperators);
    }

    // Pascal is written in mixed case and read in lower-case mode.
    void Word(const char* word)
    {
        const std::size_t start = m_text.size();
        m_text += word;
        if (!Braces() && m_random.Chance(30))
            m_text[start] = static_cast<char>(m_text[start] - ('a' <= m_text[start] && m_text[start] <= 'z' ? 32 : 0));
    }

    void Real()
    {
        m_text += std::to_string(m_random.Below(1000));
        m_text += '.';
        m_text += std::to_string(m_random.Below(10000));
    }

    void String()
    {
        const char quote = m_random.Chance(85) ? '"' : '\'';
        m_text += quote;
        const int words = 1 + m_random.Below(6);
        for (int i = 0; i < words; ++i)
        {
            if (i > 0)
                m_text += ' ';
            m_text += m_random.Pick(kProse);
            if (m_random.Chance(25))
                m_text += m_random.Pick(kEscapes);
        }
        m_text += quote;
    }

    Dialect m_dialect;
    CRandom m_random;
    bool m_crlf = false;
    std::string m_text;
};

const std::string& Script(Dialect dialect)
{
    static const std::string braces = CScriptWriter(Dialect::Braces).Write(kTextSize);
    static const std::string pascal = CScriptWriter(Dialect::Pascal).Write(kTextSize);
    return dialect == Dialect::Braces ? braces : pascal;
}

CZRString Bytes(const std::string& text)
{
    CZRString result;
    char* buffer = result.GetBuffer(static_cast<int>(text.size()));
    text.copy(buffer, text.size());
    result.ReleaseBuffer(static_cast<int>(text.size()));
    return result;
}

void Configure(CStringTokenizer& tok, Dialect dialect)
{
    if (dialect == Dialect::Braces)
    {
        tok.AllowTextBlocks(true);
        return;
    }
    tok.AllowPascalComments(true);
    tok.AllowAssemblerComments(true);
    tok.ForceLowerCaseMode(true);
}

void Report(benchmark::State& state, std::size_t bytes, std::int64_t tokens)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["tokens"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}

// Reads every token to TOKEN_EOF; words, strings and text blocks give up their
// text and numbers their value. Returns the number of tokens.
std::int64_t ReadAll(CStringTokenizer& tok)
{
    std::int64_t tokens = 0;
    long textBytes = 0;
    double numbers = 0.0;
    tok.Rewind();
    for (int type = tok.GetNextToken(); type != TOKEN_EOF; type = tok.GetNextToken())
    {
        ++tokens;
        switch (type)
        {
        case TOKEN_WORD:
        case TOKEN_TEXTBLOCK:
        case '"':
        case '\'':
            textBytes += tok.GetStringValue().GetLength();
            break;
        case TOKEN_INTEGER:
        case TOKEN_REAL:
            numbers += tok.GetNumValue();
            break;
        default:
            break;
        }
    }
    benchmark::DoNotOptimize(textBytes);
    benchmark::DoNotOptimize(numbers);
    return tokens;
}

void BM_Tokenizer(benchmark::State& state, Dialect dialect)
{
    const std::string& text = Script(dialect);
    CStringTokenizer tok(Bytes(text));
    Configure(tok, dialect);
    std::int64_t tokens = 0;
    for (auto _ : state)
        tokens += ReadAll(tok);
    Report(state, text.size(), tokens);
}

void BM_Lexer(benchmark::State& state, Dialect dialect)
{
    const std::string& text = Script(dialect);
    CLexAnalyzer lex(Bytes(text));
    Configure(lex, dialect);
    int number = 1000;
    for (const char* keyword : kKeywords)
        lex.InsertKeyword(keyword, number++);
    std::int64_t tokens = 0;
    for (auto _ : state)
        tokens += ReadAll(lex);
    Report(state, text.size(), tokens);
}

// The yardstick: tokens split at every byte up to the space.
void BM_WhiteSpaceSplit(benchmark::State& state, Dialect dialect)
{
    const std::string& text = Script(dialect);
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::int64_t tokens = 0;
    for (auto _ : state)
    {
        std::size_t i = 0;
        for (;;)
        {
            while (i < size && bytes[i] <= ' ')
                ++i;
            if (i == size)
                break;
            const std::size_t start = i;
            while (i < size && bytes[i] > ' ')
                ++i;
            std::string_view token(text.data() + start, i - start);
            benchmark::DoNotOptimize(token);
            ++tokens;
        }
    }
    Report(state, size, tokens);
}
} // namespace

BENCHMARK_CAPTURE(BM_Tokenizer, Braces, Dialect::Braces)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Tokenizer, Pascal, Dialect::Pascal)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Lexer, Braces, Dialect::Braces)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Lexer, Pascal, Dialect::Pascal)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WhiteSpaceSplit, Braces, Dialect::Braces)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WhiteSpaceSplit, Pascal, Dialect::Pascal)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
