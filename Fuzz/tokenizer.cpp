// Fuzz target: CStringTokenizer and CLexAnalyzer over arbitrary text, with
// every option chosen by the input. Layout: a byte of option flags, a byte
// choosing the class (tokenizer or lexer), push-backs and the tab size, a
// code page byte (bit 0: Shift-JIS, which lower-casing follows), then
// up to seven class-table changes of three bytes and up to three keywords;
// the rest is the text. Reading must reach TOKEN_EOF within a token per byte
// of text (plus a few) and stay there.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/TextParsing/LexAnalyzer.h"
#include "Common/TextParsing/StringTokenizer.h"
#include "FuzzInput.h"

namespace
{
constexpr std::size_t kSpareTokens = 8;
constexpr std::size_t kMaxKeywordLength = 8;
constexpr int kKeywordBase = 1000;

void Fail(const char* what)
{
    std::fprintf(stderr, "tokenizer fuzz: %s\n", what);
    std::abort();
}

void SetOptions(CStringTokenizer& t, std::uint8_t flags)
{
    t.AllowSlashSlashComments(flags & 0x01);
    t.AllowSlashStarComments(flags & 0x02);
    t.AllowPascalComments(flags & 0x04);
    t.AllowTextBlocks(flags & 0x08);
    t.AllowAssemblerComments(flags & 0x10);
    t.AllowStringHandling(flags & 0x20);
    t.ForceLowerCaseMode(flags & 0x40);
    t.EOLIsSignificant(flags & 0x80);
}

// Ranges take any int (they are clamped); single characters take 0 to 255.
void ChangeClass(CStringTokenizer& t, std::uint8_t op, std::uint8_t a, std::uint8_t b)
{
    const int lo = static_cast<std::int8_t>(a) * 2;
    const int hi = b + (op >> 3);
    switch (op % 6)
    {
    case 0: t.WordChars(lo, hi); break;
    case 1: t.WhiteSpaceChars(lo, hi); break;
    case 2: t.OrdinaryChars(lo, hi); break;
    case 3: t.OrdinaryChar(a); break;
    case 4: t.CommentChar(a); break;
    default: t.QuoteChar(a); break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t shape = in.Byte();
    const bool lexer = shape & 0x01;
    const bool pushBacks = shape & 0x02;
    const int tabSize = ((shape >> 2) & 0x07) + 1;
    const int classChanges = shape >> 5;
    STR_SetCodePage((in.Byte() & 1) ? STR_CODEPAGE_SHIFTJIS : STR_CODEPAGE_SINGLEBYTE);
    std::uint8_t changes[7][3] = {};
    for (int i = 0; i < classChanges; ++i)
        for (std::uint8_t& b : changes[i])
            b = in.Byte();
    std::string keywords[3];
    const int keywordCount = lexer ? in.Byte() % 4 : 0;
    for (int i = 0; i < keywordCount; ++i)
        keywords[i] = in.Text(kMaxKeywordLength);
    const std::string text = in.Rest();

    CZRString source;
    if (!text.empty())
    {
        char* buffer = source.GetBuffer(static_cast<int>(text.size()));
        std::copy(text.begin(), text.end(), buffer);
        source.ReleaseBuffer(static_cast<int>(text.size()));
    }
    std::unique_ptr<CStringTokenizer> t;
    if (lexer)
    {
        auto lex = std::make_unique<CLexAnalyzer>(source);
        for (int i = 0; i < keywordCount; ++i)
            lex->InsertKeyword(CZRString(keywords[i].c_str()), kKeywordBase + i);
        t = std::move(lex);
    }
    else
        t = std::make_unique<CStringTokenizer>(source);
    SetOptions(*t, flags);
    t->SetTabSize(tabSize);
    for (int i = 0; i < classChanges; ++i)
        ChangeClass(*t, changes[i][0], changes[i][1], changes[i][2]);

    const std::size_t bound = text.size() + kSpareTokens;
    std::size_t tokens = 0;
    for (int token = 0; token != TOKEN_EOF; ++tokens)
    {
        if (tokens == bound)
            Fail("no TOKEN_EOF within a token per byte");
        token = t->GetNextToken();
        const CZRString described = t->GetStringValue();
        if (pushBacks && tokens % 3 == 1)
        {
            t->PushBack();
            if (t->GetNextToken() != token)
                Fail("a pushed-back token came back different");
            if (t->GetStringValue().Compare(described) != 0)
                Fail("a pushed-back token describes itself differently");
        }
    }
    if (t->GetNextToken() != TOKEN_EOF)
        Fail("reading went on after TOKEN_EOF");
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    return 0;
}
