// CLexAnalyzer: keywords, the five operator pairs joined at token level, and
// the lexer's own push-back.
#include "TextParsing/TokenStream.h"

namespace
{
using namespace TokenStream;

const std::function<void(CLexAnalyzer&)> kKeywords = [](CLexAnalyzer& lex) {
    lex.InsertKeyword("begin", 1000);
    lex.InsertKeyword("end", 1001);
    lex.InsertKeyword("A", 65);   // describes itself as a character
};
} // namespace

// Operators describe themselves; the token after an unpaired first character
// is read again whole, values intact.
TEST(LexAnalyzer, KeywordsAndOperatorPairs)
{
    RunCases<CLexAnalyzer>({
        {"lower-case mode", "Begin END A",
         [](CLexAnalyzer& lex) { kKeywords(lex), lex.ForceLowerCaseMode(true); }, "kw 1000 | kw 1001 | word a | EOF"},
        {"keywords", "begin A /* a */ // b\nend", kKeywords, "kw 1000 | 'A' | kw 1001 | EOF"},
        {"joined", "a<=b < = c>=d:=e<>f 1..5", nullptr,
         "word a | <= | word b | <= | word c | >= | word d | := | word e | <> | word f | int 1 | .. | int 5 | EOF"},
        {"alone", "a<b >< a:b < <= <", nullptr,
         "word a | '<' | word b | '>' | '<' | word a | ':' | word b | '<' | <= | '<' | EOF"},
        {"values kept", ". 'x' < 2.5 : begin", kKeywords, "'.' | sq [x] | '<' | real 2.500000 | ':' | kw 1000 | EOF"},
        {"across comments", "a < /* c */ = b /**/ /**/ : = // c\n. x /* c */ < y", nullptr,
         "word a | <= | word b | := | '.' | word x | '<' | word y | EOF"},
        {"no pair across a comment keeps both", "< /**/ > x : /**/ <= y > /**/ .. z", nullptr,
         "<> | word x | ':' | <= | word y | '>' | .. | word z | EOF"},
    });
}

TEST(LexAnalyzer, PushBackIsTheLexersOwn)
{
    CLexAnalyzer lex(Bytes("begin <= x"));
    kKeywords(lex);
    EXPECT_EQ(1000, lex.GetNextToken());
    lex.PushBack();
    EXPECT_EQ(1000, lex.GetNextToken());
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    // A lexer token pushed back before Rewind still comes first after it.
    lex.PushBack();
    lex.Rewind();
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    EXPECT_EQ(1000, lex.GetNextToken());

    CLexAnalyzer copy(lex);
    CLexAnalyzer assigned(Bytes(""));
    assigned = lex;
    for (CLexAnalyzer* reader : {&lex, &copy, &assigned})
        EXPECT_EQ("<= | word x | EOF", Rest(*reader));
}

TEST(LexAnalyzer, LongCommentRunsCostNoStack)
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "{c}/**/";
    CLexAnalyzer lex(Bytes(text + "<" + text + "="));
    lex.AllowPascalComments(true);
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    EXPECT_EQ(TOKEN_EOF, lex.GetNextToken());

    // A comment inside each pair: reading the second token never nests.
    std::string pairs;
    for (int i = 0; i < 300000; ++i)
        pairs += ". /**/ ";
    CLexAnalyzer dots(Bytes(pairs));
    int count = 0;
    while (dots.GetNextToken() == TOKEN_DOT_DOT)
        ++count;
    EXPECT_EQ(150000, count);
}

// Keywords are compared as the string class compares: up to the first zero
// byte, exactly and case-sensitively, the later number winning.
TEST(LexAnalyzer, KeywordsMatchWholeWordsUpToAZeroByte)
{
    CLexAnalyzer lex(Bytes(std::string("if iff fi If x0 x0\0q w k0 k47 k48", 33)));
    lex.WordChars(0, 0); // a zero byte inside a word continues it
    for (int i = 0; i < 48; ++i)
        lex.InsertKeyword(CZRString(("k" + std::to_string(i)).c_str()), 100 + i);
    lex.InsertKeyword("if", 1);
    lex.InsertKeyword("if", 2);
    lex.InsertKeyword(Bytes(std::string("x0\0y", 4)), 3);
    for (const int token : {2, TOKEN_WORD, TOKEN_WORD, TOKEN_WORD, 3, 3, TOKEN_WORD, 100, 147, TOKEN_WORD, TOKEN_EOF})
        EXPECT_EQ(token, lex.GetNextToken());
}
