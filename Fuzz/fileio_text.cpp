// Fuzz target: CFileIO's text readers (and its length-prefixed string read)
// over a CMemFileIO holding arbitrary bytes. The first byte gives the number
// of operations (1 to 16, low bits) and the code page (bit 7: Shift-JIS), the
// next bytes choose the operations; the rest is the file.
// The sequence repeats until the end of the file, at most a bounded number of
// times. CFileIOException and CMemFileIOException are the failures the
// readers may report.
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/File/MemFileIO.h"
#include "FuzzInput.h"

namespace
{
constexpr int kMaxOperations = 16;
const char kDelimiters[] = {';', ',', ' ', '\n', '\0', '"', '/', 'x'};
const char* const kConstants[] = {"", "a", "ab", "//", "\"", "; ", "a\x82", "\x82\xa0;"};
constexpr int kConstantCount = sizeof kConstants / sizeof kConstants[0];
constexpr unsigned long kLineBuffer = 64;

void Apply(CMemFileIO& file, std::uint8_t op, std::size_t size)
{
    const char delimiter = kDelimiters[(op >> 4) % sizeof kDelimiters];
    switch (op % 16)
    {
    case 0: { unsigned long v = 0; file.ReadAscii(v, delimiter); break; }
    case 1: { long v = 0; file.ReadAscii(v, delimiter); break; }
    case 2: { float v = 0; file.ReadAscii(v, delimiter); break; }
    case 3: { int v = 0; file.ReadAscii(v, delimiter); break; }
    case 4: { CZRString v; file.ReadAscii(v); break; }
    case 5: { char c = 0; file.ReadAscii(c, true); break; }
    case 6: { char c = 0; file.ReadAscii(c, false); break; }
    case 7: file.ReadConstAscii(CZRString(kConstants[(op >> 4) % kConstantCount])); break;
    case 8: file.ReadConstAscii(delimiter); break;
    case 9: file.StepBack(); break;
    case 10: { CZRString v; file.Read(v); break; }
    case 11: { char line[kLineBuffer]; file.ReadLine(line, (op >> 4) + 1); break; }
    case 12: file.SetFilePointerPos(static_cast<unsigned long>(op >> 4) * size / 15); break;
    case 13: file.Skip((op >> 4) - 8); break;
    case 14: { vector3 v = {}; file.Read(v); break; }
    default: { double d = 0; file.Read(d); break; }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const std::uint8_t shape = in.Byte();
    const int count = shape % kMaxOperations + 1;
    STR_SetCodePage((shape & 0x80) ? STR_CODEPAGE_SHIFTJIS : STR_CODEPAGE_SINGLEBYTE);
    std::vector<std::uint8_t> ops;
    for (int i = 0; i < count; ++i)
        ops.push_back(in.Byte());
    std::string text = in.Rest();
    CMemFileIO file(reinterpret_cast<unsigned char*>(text.data()),
                    static_cast<unsigned long>(text.size()), 0);
    // A sequence may make no progress (StepBack alone): the passes are bounded.
    const std::size_t passes = text.size() + 4;
    for (std::size_t pass = 0; pass < passes && !file.IsEof(); ++pass)
        for (std::uint8_t op : ops)
        {
            try
            {
                Apply(file, op, text.size());
            }
            catch (const CFileIOException&)
            {
            }
            catch (const CMemFileIOException&)
            {
            }
        }
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    return 0;
}
