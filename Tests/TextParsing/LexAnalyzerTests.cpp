#include "TextParsing/TokenStream.h"

namespace
{
using namespace TokenStream;
using Configure = std::function<void(CLexAnalyzer&)>;

const Configure kKeywords = [](CLexAnalyzer& lex) {
    lex.InsertKeyword("begin", 1000);
    lex.InsertKeyword("end", 1001);
};

std::string Describe(CLexAnalyzer& lex, int type)
{
    return TokenStream::Describe(lex, type);
}
} // namespace

TEST(LexAnalyzer, Keywords)
{
    RunCases<CLexAnalyzer>({
        {"keyword then word", "begin x", kKeywords, "kw 1000 | word x | EOF"},
        {"case matters", "Begin END", kKeywords, "word Begin | word END | EOF"},
        {"lower-case mode", "Begin END",
         [](CLexAnalyzer& lex) { kKeywords(lex); lex.ForceLowerCaseMode(true); }, "kw 1000 | kw 1001 | EOF"},
        {"registered again", "begin",
         [](CLexAnalyzer& lex) { kKeywords(lex); lex.InsertKeyword("begin", 1002); }, "kw 1002 | EOF"},
        {"prefix is no keyword", "beginning", kKeywords, "word beginning | EOF"},
        {"after comments", "/* a */ // b\nbegin", kKeywords, "kw 1000 | EOF"},
    });
}

TEST(LexAnalyzer, OperatorPairs)
{
    RunCases<CLexAnalyzer>({
        {"less equal", "a<=b", nullptr, "word a | <= | word b | EOF"},
        {"across white space", "a < = b", nullptr, "word a | <= | word b | EOF"},
        {"across a comment", "a < /* c */ = b", nullptr, "word a | <= | word b | EOF"},
        {"less alone", "a<b", nullptr, "word a | '<' | word b | EOF"},
        {"less greater", "<>", nullptr, "<> | EOF"},
        {"greater less", "><", nullptr, "'>' | '<' | EOF"},
        {"greater equal", ">=", nullptr, ">= | EOF"},
        {"colon equal", "x := 3", nullptr, "word x | := | int 3 | EOF"},
        {"colon alone", "a:b", nullptr, "word a | ':' | word b | EOF"},
        {"range", "1..5", nullptr, "int 1 | .. | int 5 | EOF"},
        {"less at end", "<", nullptr, "'<' | EOF"},
        {"less then less equal", "< <=", nullptr, "'<' | <= | EOF"},
        {"dot then string", ". 'x'", nullptr, "'.' | sq [x] | EOF"},
        {"dot after comment keeps the next token", "// c\n. x", nullptr, "'.' | word x | EOF"},
        {"less after comment", "/* c */ < y", nullptr, "'<' | word y | EOF"},
        {"pair right after comments", "/**/ /**/ : =", nullptr, ":= | EOF"},
        {"no pair across a comment keeps both", "< /**/ > x : /**/ <= y > /**/ .. z", nullptr,
         "<> | word x | ':' | <= | word y | '>' | .. | word z | EOF"},
    });
}

TEST(LexAnalyzer, StringValues)
{
    CLexAnalyzer lex(Bytes("<> := <= >= x 2 'q' A .."));
    lex.InsertKeyword("A", 65);
    const char* expected[] = {"<>", ":=", "<=", ">=", "x", "2.000000", "q", "'A'", "..", "EOF"};
    for (const char* text : expected)
    {
        lex.GetNextToken();
        EXPECT_STREQ(text, lex.GetStringValue().GetString());
    }
}

TEST(LexAnalyzer, PushBackIsTheLexersOwn)
{
    CLexAnalyzer lex(Bytes("begin <= x"));
    kKeywords(lex);
    EXPECT_EQ(1000, lex.GetNextToken());
    lex.PushBack();
    EXPECT_EQ(1000, lex.GetNextToken());
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    lex.PushBack();
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    EXPECT_STREQ("<=", lex.GetStringValue().GetString());

    // A lexer token pushed back before Rewind still comes first after it.
    lex.PushBack();
    lex.Rewind();
    EXPECT_EQ(TOKEN_LESS_EQUAL, lex.GetNextToken());
    EXPECT_EQ(1000, lex.GetNextToken());

    CLexAnalyzer copy(lex);
    CLexAnalyzer assigned(Bytes(""));
    assigned = lex;
    for (CLexAnalyzer* reader : {&lex, &copy, &assigned})
    {
        EXPECT_EQ("<=", Describe(*reader, reader->GetNextToken()));
        EXPECT_EQ("word x", Describe(*reader, reader->GetNextToken()));
        EXPECT_EQ(TOKEN_EOF, reader->GetNextToken());
    }
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

// Keywords are compared as the string class compares: up to the first zero byte.
TEST(LexAnalyzer, KeywordsMatchWholeWordsUpToAZeroByte)
{
    CLexAnalyzer lex(Bytes(std::string("if iff fi If x0 x0\0q w k0 k47 k48 .. <> <=", 43)));
    lex.WordChars(0, 0); // a zero byte inside a word continues it
    for (int i = 0; i < 48; ++i)
        lex.InsertKeyword(CZRString(("k" + std::to_string(i)).c_str()), 100 + i);
    lex.InsertKeyword("if", 1);
    lex.InsertKeyword("if", 2); // the later number wins
    lex.InsertKeyword(Bytes(std::string("x0\0y", 4)), 3);
    const int expected[] = {2, TOKEN_WORD, TOKEN_WORD, TOKEN_WORD, 3, 3, TOKEN_WORD, 100, 147, TOKEN_WORD,
                            TOKEN_DOT_DOT, TOKEN_LESS_GREATER, TOKEN_LESS_EQUAL, TOKEN_EOF};
    for (const int token : expected)
        EXPECT_EQ(token, lex.GetNextToken());
}
