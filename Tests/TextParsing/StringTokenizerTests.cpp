// CStringTokenizer as configured by its callers. The default classes under
// every switch TokenizerCounterTests varies are read there against a reading
// one byte at a time; here: the other classes and switches, every named
// escape, the edges of octal escapes, push-back, copies, positions, derived
// readers and long input.
#include "TextParsing/TokenStream.h"

namespace
{
using namespace TokenStream;
using Configure = std::function<void(CStringTokenizer&)>;

// Counts every token a derived reader produces, including those after comments.
struct CountingTokenizer : CStringTokenizer
{
    using CStringTokenizer::CStringTokenizer;
    int GetNextToken() override { return ++calls, CStringTokenizer::GetNextToken(); }
    using CStringTokenizer::GetOriginalString;
    int calls = 0;
};
} // namespace

TEST(StringTokenizer, ClassesSwitchesAndEscapes)
{
    RunCases<CStringTokenizer>({
        {"lower case", "Hello", [](CStringTokenizer& t) { t.ForceLowerCaseMode(true); }, "word hello | EOF"},
        {"custom word chars", "a-b", [](CStringTokenizer& t) { t.WordChars('-', '-'); }, "word a-b | EOF"},
        {"ordinary letter", "ab", [](CStringTokenizer& t) { t.OrdinaryChar('b'); }, "word a | 'b' | EOF"},
        {"ordinary range", "ab", [](CStringTokenizer& t) { t.OrdinaryChars('a', 'z'); }, "'a' | 'b' | EOF"},
        {"empty range", "ab", [](CStringTokenizer& t) { t.OrdinaryChars('z', 'a'); }, "word ab | EOF"},
        {"white space chars", "a,b", [](CStringTokenizer& t) { t.WhiteSpaceChars(',', ','); }, "word a | word b | EOF"},
        {"ordinary space", "a+ b", [](CStringTokenizer& t) { t.OrdinaryChar(' '); },
         "word a | '+' | ' ' | word b | EOF"},
        {"space in words", "+a b", [](CStringTokenizer& t) { t.WordChars(' ', ' '); }, "'+' | word a b | EOF"},
        {"slash slash off", "a // b", [](CStringTokenizer& t) { t.AllowSlashSlashComments(false); },
         "word a | '/' | '/' | word b | EOF"},
        {"slash star off", "a /* b */", [](CStringTokenizer& t) { t.AllowSlashStarComments(false); },
         "word a | '/' | '*' | word b | '*' | '/' | EOF"},
        {"comment char", "a # c\r\nb", [](CStringTokenizer& t) { t.CommentChar('#'); }, "word a | word b | EOF"},
        {"string handling off", "'a'", [](CStringTokenizer& t) { t.AllowStringHandling(false); },
         "sq [] | word a | sq [] | EOF"},
        {"custom quote", "`x`", [](CStringTokenizer& t) { t.QuoteChar('`'); }, "'`' | EOF"},
        {"named escapes", "\"\\a\\b\\f\\n\\r\\t\\v\\q\"", nullptr, "dq [\a\b\f\n\r\t\vq] | EOF"},
        {"octal", "\"\\101\\1012\\777\\18\"", nullptr, "dq [AA2\xFF\x01" "8] | EOF"},
        {"octal before another quote", "\"\\7'x", nullptr, "dq [\a] | word x | EOF"},
    });
}

TEST(StringTokenizer, PushBackRewindPositionsAndCopies)
{
    CStringTokenizer tok(Bytes("alpha 2.5 beta"));
    EXPECT_EQ(TOKEN_WORD, tok.GetNextToken());
    tok.PushBack();
    EXPECT_EQ("word alpha", Describe(tok, tok.GetNextToken()));
    EXPECT_EQ("real 2.500000", Describe(tok, tok.GetNextToken()));
    CStringTokenizer copy(tok), assigned(Bytes("other"));
    assigned = tok;
    EXPECT_EQ("word beta | EOF", Rest(copy));
    EXPECT_EQ("EOF", Value(copy));
    EXPECT_EQ("word beta | EOF", Rest(assigned));

    tok.Rewind();
    EXPECT_EQ(1, tok.GetLineNumber());
    EXPECT_EQ(0, tok.GetPosInString());
    EXPECT_EQ("word alpha", Describe(tok, tok.GetNextToken()));
    tok.SetPosInString(10);
    EXPECT_EQ("word beta | EOF", Rest(tok));
    tok.SetPosInString(1000);
    EXPECT_EQ("EOF", Rest(tok));
}

// A run of comments is one re-entry of a derived reader: the outer call and the
// one after it, however long the run (and so it costs no stack).
TEST(StringTokenizer, ADerivedReaderSeesTheTokenAfterARunOfComments)
{
    CountingTokenizer tok(Bytes("/* c */ // d\n{ e } a"));
    tok.AllowPascalComments(true);
    EXPECT_EQ("word a", Describe(tok, tok.GetNextToken()));
    EXPECT_EQ(2, tok.calls);
    EXPECT_EQ(21, tok.GetOriginalString().GetLength());
    EXPECT_EQ(0xFF, tok.GetOriginalString().GetAt(20) & 0xFF) << "the end mark";

    // Long runs and long tokens, read in one pass.
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += i % 2 ? "//c\n" : "/**/";
    const int kLong = 2000000;
    CountingTokenizer run(Bytes(text + std::string(kLong, 'w') + " \"" + std::string(kLong, 's') + "\""));
    EXPECT_EQ(TOKEN_WORD, run.GetNextToken());
    EXPECT_EQ(2, run.calls);
    EXPECT_EQ(150001, run.GetLineNumber());
    EXPECT_EQ(kLong, run.GetStringValue().GetLength());
    EXPECT_EQ('"', run.GetNextToken());
    EXPECT_EQ(kLong, run.GetStringValue().GetLength());
    EXPECT_EQ(TOKEN_EOF, run.GetNextToken());
}
