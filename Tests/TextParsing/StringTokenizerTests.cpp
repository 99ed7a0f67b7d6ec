#include "TextParsing/TokenStream.h"

namespace
{
using namespace TokenStream;
using Configure = std::function<void(CStringTokenizer&)>;

std::string Tokens(const std::string& text, const Configure& configure = nullptr)
{
    return TokenStream::Tokens<CStringTokenizer>(text, configure);
}

void RunCases(const std::vector<Case<CStringTokenizer>>& cases)
{
    TokenStream::RunCases(cases);
}

const Configure kEol = [](CStringTokenizer& t) { t.EOLIsSignificant(true); };
const Configure kTextBlocks = [](CStringTokenizer& t) { t.AllowTextBlocks(true); };
} // namespace

TEST(StringTokenizer, WordsAndCharacters)
{
    RunCases({
        {"two words", "foo bar", nullptr, "word foo | word bar | EOF"},
        {"empty", "", nullptr, "EOF"},
        {"digits continue", "x1_y", nullptr, "word x1_y | EOF"},
        {"digit starts number", "1x", nullptr, "int 1 | word x | EOF"},
        {"high bytes", "\xE4\xF6", nullptr, "word \xE4\xF6 | EOF"},
        {"lower case", "Hello", [](CStringTokenizer& t) { t.ForceLowerCaseMode(true); }, "word hello | EOF"},
        {"plus", "+", nullptr, "'+' | EOF"},
        {"slash alone", "a / b", nullptr, "word a | '/' | word b | EOF"},
        {"slash at end", "a/", nullptr, "word a | '/' | EOF"},
        {"custom word chars", "a-b", [](CStringTokenizer& t) { t.WordChars('-', '-'); }, "word a-b | EOF"},
        {"ordinary letter", "ab", [](CStringTokenizer& t) { t.OrdinaryChar('b'); }, "word a | 'b' | EOF"},
        {"ordinary range", "ab", [](CStringTokenizer& t) { t.OrdinaryChars('a', 'z'); }, "'a' | 'b' | EOF"},
        {"empty range", "ab", [](CStringTokenizer& t) { t.OrdinaryChars('z', 'a'); }, "word ab | EOF"},
        {"white space chars", "a,b", [](CStringTokenizer& t) { t.WhiteSpaceChars(',', ','); }, "word a | word b | EOF"},
        {"brace without blocks", "{x}", nullptr, "'{' | word x | '}' | EOF"},
        {"ordinary space", "a+ b", [](CStringTokenizer& t) { t.OrdinaryChar(' '); },
         "word a | '+' | ' ' | word b | EOF"},
        {"space in words", "+a b", [](CStringTokenizer& t) { t.WordChars(' ', ' '); }, "'+' | word a b | EOF"},
    });
}

TEST(StringTokenizer, Numbers)
{
    RunCases({
        {"integer", "42", nullptr, "int 42 | EOF"},
        {"real", "3.25", nullptr, "real 3.250000 | EOF"},
        {"trailing point", "7.", nullptr, "int 7 | '.' | EOF"},
        {"trailing point then word", "7.x", nullptr, "int 7 | '.' | word x | EOF"},
        {"two points", "1.2.3", nullptr, "real 1.200000 | '.' | int 3 | EOF"},
        {"minus", "-5", nullptr, "'-' | int 5 | EOF"},
        {"leading point", ".5", nullptr, "'.' | int 5 | EOF"},
    });
}

TEST(StringTokenizer, Comments)
{
    const Configure pascal = [](CStringTokenizer& t) { t.AllowPascalComments(true); };
    RunCases({
        {"slash slash", "a // c\nb", nullptr, "word a | word b | EOF"},
        {"slash slash eol", "a // c\nb", kEol, "word a | EOL | word b | EOF"},
        {"slash star", "a /* c */ b", nullptr, "word a | word b | EOF"},
        {"unterminated slash star", "a /* c", nullptr, "word a | EOF"},
        {"slash star slash stays open", "a /*/ b", nullptr, "word a | EOF"},
        {"slash slash off", "a // b", [](CStringTokenizer& t) { t.AllowSlashSlashComments(false); },
         "word a | '/' | '/' | word b | EOF"},
        {"slash star off", "a /* b */", [](CStringTokenizer& t) { t.AllowSlashStarComments(false); },
         "word a | '/' | '*' | word b | '*' | '/' | EOF"},
        {"pascal", "a { c } b", pascal, "word a | word b | EOF"},
        {"unterminated pascal", "a { c", pascal, "word a | EOF"},
        {"assembler", "a ; c\nb", [](CStringTokenizer& t) { t.AllowAssemblerComments(true); },
         "word a | word b | EOF"},
        {"semicolon is ordinary", "a;b", nullptr, "word a | ';' | word b | EOF"},
        {"comment char", "a # c\r\nb", [](CStringTokenizer& t) { t.CommentChar('#'); }, "word a | word b | EOF"},
        {"comment at end", "a // c", nullptr, "word a | EOF"},
        {"pascal beats text block", "{! hello !}",
         [](CStringTokenizer& t) { t.AllowPascalComments(true); t.AllowTextBlocks(true); }, "EOF"},
    });
}

TEST(StringTokenizer, Strings)
{
    RunCases({
        {"tab escape", "\"a\\tb\"", nullptr, "dq [a\tb] | EOF"},
        {"octal", "\"\\101\"", nullptr, "dq [A] | EOF"},
        {"single quotes", "'abc'", nullptr, "sq [abc] | EOF"},
        {"escaped quote and backslash", "\"\\\"\\\\\"", nullptr, "dq [\"\\] | EOF"},
        {"named escapes", "\"\\a\\b\\f\\n\\r\\v\\q\"", nullptr, "dq [\a\b\f\n\r\vq] | EOF"},
        {"octal before quote", "\"\\7'x", nullptr, "dq [\a] | word x | EOF"},
        {"octal then ordinary", "\"\\18\"", nullptr, "dq [\x01" "8] | EOF"},
        {"octal then backslash", "\"\\1\\\"", nullptr, "dq [\x01\\] | EOF"},
        {"octal low byte", "\"\\777\"", nullptr, "dq [\xFF] | EOF"},
        {"three digits only", "\"\\1012\"", nullptr, "dq [A2] | EOF"},
        {"ends at line end", "\"ab\ncd", nullptr, "dq [ab] | word cd | EOF"},
        {"unterminated", "\"ab", nullptr, "dq [ab] | EOF"},
        {"escape at end", "\"ab\\", nullptr, "dq [ab] | EOF"},
        {"string handling off", "'a'", [](CStringTokenizer& t) { t.AllowStringHandling(false); },
         "sq [] | word a | sq [] | EOF"},
        {"custom quote", "`x`", [](CStringTokenizer& t) { t.QuoteChar('`'); }, "'`' | EOF"},
    });
}

TEST(StringTokenizer, TextBlocks)
{
    RunCases({
        {"block", "{! hello !}", kTextBlocks, "block [ hello] | EOF"},
        {"bang pairs", "{!a!!}!}", kTextBlocks, "block [a!!}] | EOF"},
        {"line ends kept", "{!a\nb\n!}c", kTextBlocks, "block [a\nb] | word c | EOF"},
        {"unterminated", "{!abc", kTextBlocks, "EOF"},
        {"bang at end", "{!abc!", kTextBlocks, "EOF"},
        {"brace alone", "{x", kTextBlocks, "'{' | word x | EOF"},
        {"blocks off", "{!a!}", nullptr, "'{' | '!' | word a | '!' | '}' | EOF"},
    });
}

TEST(StringTokenizer, LineEnds)
{
    RunCases({
        {"lf", "a\nb", kEol, "word a | EOL | word b | EOF"},
        {"crlf", "a\r\nb", kEol, "word a | EOL | word b | EOF"},
        {"cr", "a\rb", kEol, "word a | EOL | word b | EOF"},
        {"ignored", "a\r\n\nb", nullptr, "word a | word b | EOF"},
        {"cr at end", "a\r", kEol, "word a | EOL | EOF"},
    });
}

TEST(StringTokenizer, LinesAndColumns)
{
    CStringTokenizer crlf(Bytes("a\r\nb"));
    crlf.EOLIsSignificant(true);
    crlf.GetNextToken();
    EXPECT_EQ(TOKEN_EOL, crlf.GetNextToken());
    EXPECT_EQ(2, crlf.GetLineNumber());

    CStringTokenizer cr(Bytes("a\rb"));
    cr.EOLIsSignificant(true);
    cr.GetNextToken();
    EXPECT_EQ(TOKEN_EOL, cr.GetNextToken());
    EXPECT_EQ(1, cr.GetLineNumber());

    CStringTokenizer tab(Bytes("\tx"));
    EXPECT_EQ(TOKEN_WORD, tab.GetNextToken());
    EXPECT_EQ(5, tab.GetColumnNumber()); // tab to 4, then x; the end adds nothing
    CStringTokenizer tab2(Bytes("\t\tx y"));
    tab2.GetNextToken();
    EXPECT_EQ(10, tab2.GetColumnNumber()); // 1 -> 4 -> 8, x, the space read ahead

    CStringTokenizer point(Bytes("7.\nx"));
    EXPECT_EQ(TOKEN_INTEGER, point.GetNextToken());
    EXPECT_EQ('.', point.GetNextToken());
    EXPECT_EQ(TOKEN_WORD, point.GetNextToken());
    EXPECT_EQ(2, point.GetLineNumber());
}

TEST(StringTokenizer, PushBackRewindAndCopy)
{
    CStringTokenizer tok(Bytes("alpha 2.5 beta"));
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    tok.PushBack();
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_STREQ("alpha", tok.GetStringValue().GetString());
    EXPECT_EQ(TOKEN_REAL, tok.GetNextToken());
    EXPECT_STREQ("2.500000", tok.GetStringValue().GetString());

    CStringTokenizer copy(tok);
    EXPECT_EQ(TOKEN_WORD, copy.GetNextToken());
    EXPECT_STREQ("beta", copy.GetStringValue().GetString());
    EXPECT_EQ(TOKEN_EOF, copy.GetNextToken());
    EXPECT_STREQ("EOF", copy.GetStringValue().GetString());

    tok.Rewind();
    EXPECT_EQ(1, tok.GetLineNumber());
    EXPECT_EQ(0, tok.GetPosInString());
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_STREQ("alpha", tok.GetStringValue().GetString());

    CStringTokenizer assigned(Bytes("other"));
    assigned = copy;
    EXPECT_EQ(TOKEN_EOF, assigned.GetNextToken());

    tok.SetPosInString(10);
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_STREQ("beta", tok.GetStringValue().GetString());
    tok.SetPosInString(1000);
    EXPECT_EQ(TOKEN_EOF, tok.GetNextToken());
}

namespace
{
// Counts every token a derived reader produces, including those after comments.
class CCountingTokenizer : public CStringTokenizer
{
public:
    using CStringTokenizer::CStringTokenizer;
    int GetNextToken() override
    {
        ++m_nCalls;
        return CStringTokenizer::GetNextToken();
    }
    const CZRString& Original() const { return GetOriginalString(); }
    int m_nCalls = 0;
};
} // namespace

TEST(StringTokenizer, DerivedClassSeesTokenAfterComment)
{
    // A run of comments is one re-entry: the outer call and the one after it.
    CCountingTokenizer tok(Bytes("/* c */ // d\n{ e } a"));
    tok.AllowPascalComments(true);
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_EQ(2, tok.m_nCalls);
    EXPECT_STREQ("a", tok.GetStringValue().GetString());
    EXPECT_EQ(21, tok.Original().GetLength());
    EXPECT_EQ(0xFF, tok.Original().GetAt(20) & 0xFF);
}

TEST(StringTokenizer, LongCommentRunsCostNoStack)
{
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += i % 2 ? "//c\n" : "/**/";
    CCountingTokenizer tok(Bytes(text + "x"));
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_EQ(2, tok.m_nCalls);
    EXPECT_EQ(150001, tok.GetLineNumber());
    EXPECT_EQ(TOKEN_EOF, tok.GetNextToken());
}

TEST(StringTokenizer, NulAndEndMarkBytesInsideText)
{
    EXPECT_EQ("word a | word b | EOF", Tokens(std::string("a\0b", 3)));
    EXPECT_EQ("word a\xFF" "b | EOF", Tokens("a\xFF" "b"));
    EXPECT_EQ("dq [\xFF] | EOF", Tokens("\"\xFF"));
}

TEST(StringTokenizer, LongTokensAreLinear)
{
    const std::string word(2000000, 'w');
    CStringTokenizer tok(Bytes(word + " \"" + std::string(2000000, 's') + "\""));
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    EXPECT_EQ(2000000, tok.GetStringValue().GetLength());
    EXPECT_EQ('"', tok.GetNextToken());
    EXPECT_EQ(2000000, tok.GetStringValue().GetLength());
    EXPECT_EQ(TOKEN_EOF, tok.GetNextToken());
}
