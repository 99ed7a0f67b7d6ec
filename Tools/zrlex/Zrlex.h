// zrlex: what its parts share.
#pragma once

#include <string>
#include <vector>

class CStringTokenizer;

struct sKeyword
{
    std::string word;
    int number;
};

// How the text is read: the tokenizer's switches, and the lexer's keywords
// unless the plain tokenizer is asked for.
struct sLexOptions
{
    bool pascalComments = false;
    bool textBlocks = false;
    bool eol = false;
    bool lower = false;
    bool noSlashComments = false;
    bool asmComments = false;
    bool noStrings = false;
    bool tokenizerOnly = false;
    int tabSize = 4;
    std::vector<sKeyword> keywords;
};

// Parses "word=number,..." onto keywords. False with the problem when an entry
// is no such pair, the word can never be read as one, or the number is one
// the lexer returns for something else (a token type, operator or character).
bool ParseKeywords(const std::string& list, bool lower, std::vector<sKeyword>& keywords,
                   std::string& problem);

// Prints the tokens of file, one line each; returns the exit status.
int PrintTokens(const std::string& file, const sLexOptions& options);

// Where tokens begin. The tokenizer reads one character ahead and its counters
// stand past that character, so the first character of a token is found in the
// text: from where the tokenizer resumes reading, past the white space and
// comments it skips under the same options. Lines and columns are counted as
// the tokenizer counts them.
class CTokenStarts
{
public:
    struct sPosition
    {
        int index;
        int line;
        int column;
    };

    CTokenStarts(const unsigned char* text, int length, const sLexOptions& options);

    // Index of the first character of the token read from index from on.
    int Skip(int from) const;
    // The position of index, which is no lower than the one asked for before.
    sPosition Locate(int index);

private:
    int LineEnd(int from) const;
    void Advance(sPosition& position, int index) const;

    const unsigned char* m_text;
    int m_length;
    const sLexOptions& m_options;
    sPosition m_last{0, 1, 1};
};
