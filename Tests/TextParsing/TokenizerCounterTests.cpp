// The tokenizer reads runs of bytes at once and counts lines and columns per
// run. Here it is compared, token by token on random bytes, with a plain
// reading one byte at a time: the tokens it should give, and the counters that
// the bytes it has consumed should give.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "TextParsing/TokenStream.h"

namespace
{
struct Flags
{
    bool pascal, blocks, assembler, eol, tabsInWords;
    int tab;
};

std::string Token(int type, const std::string& value = "") { return std::to_string(type) + ":" + value; }

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Line, column and start of line once the first pos bytes have been read.
std::tuple<int, int, bool> Counters(const std::string& text, int pos, int tab)
{
    int line = 1, column = 1;
    bool start = true;
    for (int i = 0; i < pos; ++i)
    {
        start = text[i] == '\n';
        line += start;
        column = start ? 1 : text[i] == '\t' ? column + tab - column % tab : column + 1;
    }
    return {line, column, start};
}

// The default character classes, read one byte at a time.
std::vector<std::string> Expected(const std::string& s, const Flags& f)
{
    const auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : -1; };
    const auto blank = [&](int c) { return c >= 0 && c <= ' ' && !(f.tabsInWords && (c == '\t' || c == '\n')); };
    const auto digit = [](int c) { return c >= '0' && c <= '9'; };
    const auto letter = [](int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 160; };
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();)
    {
        const int c = at(i++);
        if (c <= ' ')
        {
            if (c == '\r' && at(i) == '\n')
                ++i;
            if ((c == '\r' || c == '\n') && f.eol)
                out.push_back(Token(TOKEN_EOL));
        }
        else if (digit(c))
        {
            double value = c - '0', divisor = 1;
            int fraction = -1; // digits after the point; -1 without a point
            for (; digit(at(i)) || (at(i) == '.' && fraction < 0); ++i)
            {
                if (at(i) == '.')
                {
                    fraction = 0;
                    continue;
                }
                value = value * 10 + (at(i) - '0');
                if (fraction >= 0)
                    ++fraction, divisor *= 10;
            }
            if (fraction == 0)
                --i; // "7." is the number 7 and the character '.'
            out.push_back(Token(fraction > 0 ? TOKEN_REAL : TOKEN_INTEGER, Number(value / divisor)));
        }
        else if (letter(c))
        {
            const size_t start = i - 1;
            while (letter(at(i)) || digit(at(i)) || (f.tabsInWords && (at(i) == '\t' || at(i) == '\n')))
                ++i;
            out.push_back(Token(TOKEN_WORD, s.substr(start, i - start)));
        }
        else if (c == '"' || c == '\'')
        {
            std::string value;
            for (int d = at(i++); d >= 0 && d != c && d != '\n' && d != '\r'; d = at(i++))
            {
                if (d != '\\')
                {
                    value += static_cast<char>(d);
                    continue;
                }
                if ((d = at(i++)) < 0)
                    break;
                const size_t named = std::string("abfnrtv").find(static_cast<char>(d));
                if (named != std::string::npos || d < '0' || d > '7')
                {
                    value += named != std::string::npos ? "\a\b\f\n\r\t\v"[named] : static_cast<char>(d);
                    continue;
                }
                // Up to three octal digits. Cut off by the end the escape gives
                // nothing; after fewer than three, any quote ends the string.
                int octal = d - '0', digits = 1;
                for (; digits < 3 && at(i) >= '0' && at(i) <= '7'; ++digits)
                    octal = octal * 8 + at(i++) - '0';
                if (digits < 3 && at(i) < 0)
                    break;
                value += static_cast<char>(octal);
                if (digits < 3 && ((d = at(i++)) == '"' || d == '\''))
                    break;
                if (digits < 3)
                    value += static_cast<char>(d);
            }
            out.push_back(Token(c, value));
        }
        else if (c == '{' && f.pascal)
        {
            if ((i = s.find('}', i)) == std::string::npos)
                return out;
            ++i;
        }
        else if (c == '/' && at(i) == '*')
        {
            if ((i = s.find("*/", i + 1)) == std::string::npos)
                return out;
            i += 2;
        }
        else if ((c == '/' && at(i) == '/') || (c == ';' && f.assembler))
        {
            while (at(i) >= 0 && at(i) != '\n' && at(i) != '\r')
                ++i;
        }
        else if (c == '{' && f.blocks && at(i) == '!')
        {
            size_t end = i + 1;
            while (end + 1 < s.size() && !(s[end] == '!' && s[end + 1] == '}'))
                end += s[end] == '!' ? 2 : 1; // a '!' takes the byte after it
            if (end + 1 >= s.size())
                return out;
            size_t trimmed = end;
            while (trimmed > i + 1 && blank(at(trimmed - 1)))
                --trimmed;
            out.push_back(Token(TOKEN_TEXTBLOCK, s.substr(i + 1, trimmed - i - 1)));
            i = end + 2;
        }
        else
            out.push_back(Token(c));
    }
    return out;
}
} // namespace

TEST(TokenizerCounters, RandomBytesReadAsOneByteAtATime)
{
    static const std::string kPieces[] = {"\t", "\r", "\n", "\r\n", " ", "\"", "'", "\\", "/", "*", "{", "}",
                                          "!", ";", "7", "0", "2.5", ".", "a", "_", "{!", "!}", "/*", "*/",
                                          "\\1", std::string(1, '\0'), "\xFF"};
    std::mt19937 random(7);
    for (int round = 0; round < 4000; ++round)
    {
        std::string text;
        for (int n = random() % 50; n > 0; --n)
            text += random() % 8 == 0 ? std::string(1, static_cast<char>(random())) : kPieces[random() % std::size(kPieces)];
        const Flags f{round % 2 == 0, round % 3 == 0, round % 5 == 0, round % 7 < 3, round % 11 == 0, round % 9};
        CStringTokenizer tok(TokenStream::Bytes(text));
        tok.AllowPascalComments(f.pascal);
        tok.AllowTextBlocks(f.blocks);
        tok.AllowAssemblerComments(f.assembler);
        tok.EOLIsSignificant(f.eol);
        tok.SetTabSize(f.tab);
        if (f.tabsInWords)
            tok.WordChars('\t', '\n');
        std::vector<std::string> tokens;
        for (int type = 0; type != TOKEN_EOF && tokens.size() < 200;)
        {
            type = tok.GetNextToken();
            const bool valued = type == TOKEN_WORD || type == TOKEN_TEXTBLOCK || type == '"' || type == '\'';
            const bool number = type == TOKEN_INTEGER || type == TOKEN_REAL;
            if (type != TOKEN_EOF)
                tokens.push_back(
                    Token(type, valued ? TokenStream::Value(tok) : number ? Number(tok.GetNumValue()) : ""));
            ASSERT_LE(tok.GetPosInString(), static_cast<int>(text.size())) << round;
            ASSERT_EQ(Counters(text, tok.GetPosInString(), f.tab < 1 ? 1 : f.tab),
                      std::make_tuple(tok.GetLineNumber(), tok.GetColumnNumber(), tok.IsStartOfLine()))
                << "round " << round << " after token " << tokens.size();
        }
        EXPECT_EQ(Expected(text, f), tokens) << "round " << round;
        EXPECT_EQ(TOKEN_EOF, tok.GetNextToken()) << "the end repeats, round " << round;
    }
}
