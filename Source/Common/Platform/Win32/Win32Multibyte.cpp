// Multibyte text through the C runtime: the multibyte code page is the
// runtime's own (_setmbcp), and each function is the runtime's _mbs* function
// for it, so the library agrees with every other module of the process that
// uses them.
#include <mbctype.h>
#include <mbstring.h>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace
{
constexpr int kSetCodePageFailed = -1;

unsigned char* Mb(char* s) { return reinterpret_cast<unsigned char*>(s); }
const unsigned char* Mb(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
char* Text(unsigned char* s) { return reinterpret_cast<char*>(s); }
} // namespace

bool MbSetCodePage(unsigned int codePage)
{
    return _setmbcp(static_cast<int>(codePage)) != kSetCodePageFailed;
}

unsigned int MbGetCodePage() { return static_cast<unsigned int>(_getmbcp()); }

bool MbIsLeadByte(int c) { return _ismbblead(static_cast<unsigned char>(c)) != 0; }

int MbCompare(const char* a, const char* b) { return _mbscmp(Mb(a), Mb(b)); }
int MbCompareNoCase(const char* a, const char* b) { return _mbsicmp(Mb(a), Mb(b)); }
int MbCollate(const char* a, const char* b) { return _mbscoll(Mb(a), Mb(b)); }
int MbCollateNoCase(const char* a, const char* b) { return _mbsicoll(Mb(a), Mb(b)); }

char* MbLower(char* s) { return Text(_mbslwr(Mb(s))); }
char* MbUpper(char* s) { return Text(_mbsupr(Mb(s))); }
char* MbReverse(char* s) { return Text(_mbsrev(Mb(s))); }

char* MbFindChar(const char* s, unsigned int c) { return Text(_mbschr(Mb(s), c)); }
char* MbFindLastChar(const char* s, unsigned int c) { return Text(_mbsrchr(Mb(s), c)); }
char* MbFindText(const char* s, const char* sub) { return Text(_mbsstr(Mb(s), Mb(sub))); }
char* MbFindAnyOf(const char* s, const char* set) { return Text(_mbspbrk(Mb(s), Mb(set))); }

char* MbCopyCounted(char* dst, const char* src, std::size_t count)
{
    return Text(_mbsnbcpy(Mb(dst), Mb(src), count));
}

char* MbAppendCounted(char* dst, const char* src, std::size_t count)
{
    return Text(_mbsnbcat(Mb(dst), Mb(src), count));
}

char* MbNext(const char* p) { return Text(_mbsinc(Mb(p))); }

char* MbPrevious(const char* start, const char* p)
{
    // The runtime's contract for p at or before start varies; the layer's is null.
    return p <= start ? nullptr : Text(_mbsdec(Mb(start), Mb(p)));
}

bool MbIsSpace(unsigned int c) { return _ismbcspace(c) != 0; }

char* MbTokenize(char* s, const char* delimiters) { return Text(_mbstok(Mb(s), Mb(delimiters))); }

} // namespace ZRPlatform
