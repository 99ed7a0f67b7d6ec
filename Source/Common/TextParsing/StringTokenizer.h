// CStringTokenizer: splits one text held in memory into words, numbers, quoted
// strings, text blocks, single characters and line ends, skipping white space
// and comments. Which characters form words, white space, quotes or comments is
// set per character in a class table; comment styles, escapes, text blocks,
// lower-casing and line-end reporting are switched by flags.
//
// Guarantees: any byte sequence (0x00 and 0xFF included) is read without ever
// going past the end of the text; once TOKEN_EOF has been returned every later
// call returns it again until Rewind. Each token costs time linear in its length
// and allocates at most its own text.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

// Token types returned by GetNextToken. A quoted string returns the code of its
// opening quote; any other single character returns its own code (0 to 255).
constexpr int TOKEN_EOF = -1;
constexpr int TOKEN_INTEGER = -2;   // number without digits after a point
constexpr int TOKEN_REAL = -3;      // number with digits after the point
constexpr int TOKEN_WORD = -4;
constexpr int TOKEN_TEXTBLOCK = -5; // {! ... !}
constexpr int TOKEN_EOL = 10;       // only while line ends are significant

// Character class bits of the class table.
constexpr unsigned char CHAR_WHITESPACE = 1;
constexpr unsigned char CHAR_DIGIT = 2;
constexpr unsigned char CHAR_WORD = 4;
constexpr unsigned char CHAR_QUOTE = 8;
constexpr unsigned char CHAR_COMMENT = 16;

class ZR_COMMON_API CStringTokenizer
{
public:
    explicit CStringTokenizer(const CZRString& text);
    CStringTokenizer(const CStringTokenizer& other);
    CStringTokenizer& operator=(const CStringTokenizer& other);
    virtual ~CStringTokenizer();

    virtual void Rewind();
    virtual void PushBack();
    virtual int GetNextToken();
    virtual CZRString GetStringValue() const;

    double GetNumValue() const;
    int GetLineNumber() const;
    int GetColumnNumber() const;
    bool IsStartOfLine() const;
    int GetPosInString() const;
    void SetPosInString(int pos);

    // Ranges are clamped to 0..255; lo above hi changes nothing.
    void WordChars(int lo, int hi);
    void WhiteSpaceChars(int lo, int hi);
    void OrdinaryChars(int lo, int hi);
    // Single characters take a code from 0 to 255.
    void OrdinaryChar(int c);
    void CommentChar(int c);
    void QuoteChar(int c);

    void AllowSlashSlashComments(bool allow);
    void AllowSlashStarComments(bool allow);
    void AllowPascalComments(bool allow);
    void AllowTextBlocks(bool allow);
    void AllowAssemblerComments(bool allow);
    void AllowStringHandling(bool allow);
    void ForceLowerCaseMode(bool lower);
    void EOLIsSignificant(bool significant);
    void SetTabSize(int size);

protected:
    // The stored text, end mark included.
    const CZRString& GetOriginalString() const;
    // GetStringValue's text for a token of the given type, from the current
    // string and number values.
    CZRString DescribeToken(int type) const;
    // The text of the last word, string or text block without a copy; empty
    // after any other token. Valid until the next token is read.
    const CZRString& GetValueText() const { return m_strValue; }
    // The next token as this tokenizer reads it: GetNextToken without handing
    // the token after a comment to the virtual GetNextToken. For a derived
    // reader that looks one token ahead: its look-ahead stays a plain token, so
    // it can be pushed back whole and the reading never nests.
    int ReadNextToken();

private:
    struct sCursor;

    int NextToken(bool handOnAfterComment);

    void ResetCharacterTypeTable();
    void ParseNumbers();

    // Reading. The inline ones are defined and used only in StringTokenizer.cpp;
    // being inline, they are not exported and the compiler may expand them in
    // the reading loop.
    inline int GetCharType(int c) const;
    inline int TextLength() const;
    inline const unsigned char* Text() const;
    inline sCursor Cursor() const;
    inline void Commit(const sCursor& at);

    inline int ReadToken(sCursor& at);
    inline int SkipWhiteSpace(sCursor& at, int& c);
    inline int SkipBlanks(sCursor& at) const;
    inline int ReadAfterSlash(sCursor& at);
    inline int ReadNumber(sCursor& at, int c);
    inline int ReadWord(sCursor& at, int c);
    inline int ReadQuoted(sCursor& at, int quote);
    inline int SkipLineComment(sCursor& at);
    int ReadTextBlock(sCursor& at);
    int SkipBlockComment(sCursor& at);
    int SkipPascalComment(sCursor& at);
    int DecodeEscaped(int start, int quote);
    int DecodeQuoted(int i, int quote, char* out, int room, int& count) const;
    inline void SetValue(const unsigned char* bytes, int count);

    int m_nPos;
    CZRString m_strValue;
    double m_dNumValue;
    CZRString m_strText;
    bool m_bAllowSlashSlashComments;
    bool m_bAllowSlashStarComments;
    bool m_bAllowPascalComments;
    bool m_bAllowTextBlocks;
    bool m_bAllowAssemblerComments;
    bool m_bAllowStringHandling;
    bool m_bForceLowerCase;
    bool m_bEOLIsSignificant;
    bool m_bPushedBack;
    int m_nLine;
    int m_nColumn;
    unsigned char m_aCharType[256];
    int m_nLookAhead;
    int m_nTokenType;
    int m_nTabSize;
    bool m_bStartOfLine;
};
