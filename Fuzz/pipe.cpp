// Fuzz target: CZRPipe's typed reads. The input's first byte gives the number
// of reads (1 to 32), the next bytes choose their types; the rest is written
// into the pipe as it is. Reads are bounded by what was written, as a reader
// that knows its producer would bound them: a read that would wait for bytes
// never written is not made, except that a text whose length runs past the
// end gets the missing bytes written (up to a limit) so its read can end.
// Every value read must be the little-endian value of the bytes written, and
// the pipe must hold data exactly while written bytes are left.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/Core/ZRString.h"
#include "Common/Time/ZRPipe.h"
#include "FuzzInput.h"

namespace
{
constexpr int kMaxReads = 32;
// Well below the smallest pipe buffer, so writing never waits for a reader.
constexpr std::size_t kMaxPayload = 16 * 1024;
constexpr std::size_t kMaxPadding = 16 * 1024;
constexpr unsigned long kMaxRaw = 15;

void Fail(const char* what)
{
    std::fprintf(stderr, "pipe fuzz: %s\n", what);
    std::abort();
}

class CPipeReader
{
public:
    CPipeReader(CZRPipe& pipe, const std::string& payload) : m_pipe(pipe), m_bytes(payload) {}

    std::size_t Left() const { return m_bytes.size() - m_read; }

    // The written bytes at the read position as an unsigned little-endian value.
    std::uint64_t Expected(std::size_t width) const
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(m_bytes[m_read + i])) << (8 * i);
        return value;
    }

    // Reads a T of width bytes and compares it with expected(raw bytes).
    template <typename T, typename Convert> bool Typed(std::size_t width, Convert convert)
    {
        if (Left() < width)
            return false;
        const std::uint64_t raw = Expected(width);
        T value{};
        if (!m_pipe.Read(value))
            Fail("a typed read failed with its bytes in the pipe");
        if (!(value == convert(raw)) && !IsNan(value))
            Fail("a typed read gave another value than its bytes");
        m_read += width;
        return true;
    }

    bool Raw(unsigned long count)
    {
        if (Left() < count)
            return false;
        char buffer[kMaxRaw + 1] = {};
        if (!m_pipe.Read(buffer, count) || std::memcmp(buffer, m_bytes.data() + m_read, count) != 0)
            Fail("a raw read gave other bytes");
        m_read += count;
        return true;
    }

    bool Text()
    {
        if (Left() < 4)
            return false;
        const std::int32_t length = static_cast<std::int32_t>(Expected(4));
        const std::size_t body = length > 0 ? static_cast<std::size_t>(length) : 0;
        if (body > Left() - 4)
        {
            const std::size_t missing = body - (Left() - 4);
            if (missing > kMaxPadding)
                return false;
            const std::string padding(missing, 'p');
            if (!m_pipe.Write(padding.data(), static_cast<unsigned long>(missing)))
                Fail("padding could not be written");
            m_bytes += padding;
        }
        CZRString text("unchanged");
        if (!m_pipe.Read(text))
            Fail("a text read failed with its bytes in the pipe");
        if (length < 1 ? text.Compare("unchanged") != 0
                       : text.GetLength() != length ||
                             std::memcmp(text.GetString(), m_bytes.data() + m_read + 4, body) != 0)
            Fail("a text read gave another text than its bytes");
        m_read += 4 + body;
        return true;
    }

private:
    template <typename T> static bool IsNan(T value) { return value != value; }

    CZRPipe& m_pipe;
    std::string m_bytes;
    std::size_t m_read = 0;
};

template <typename T> T SignExtend32(std::uint64_t raw)
{
    return static_cast<T>(static_cast<std::int32_t>(static_cast<std::uint32_t>(raw)));
}

bool Read(CPipeReader& reader, std::uint8_t op)
{
    switch (op % 12)
    {
    case 0: return reader.Typed<bool>(1, [](std::uint64_t r) { return r != 0; });
    case 1: return reader.Typed<char>(1, [](std::uint64_t r) { return static_cast<char>(r); });
    case 2: return reader.Typed<short>(2, [](std::uint64_t r) { return static_cast<short>(r); });
    case 3: return reader.Typed<unsigned short>(2, [](std::uint64_t r) { return static_cast<unsigned short>(r); });
    case 4: return reader.Typed<int>(4, SignExtend32<int>);
    case 5: return reader.Typed<unsigned int>(4, [](std::uint64_t r) { return static_cast<unsigned int>(r); });
    case 6: return reader.Typed<long>(4, SignExtend32<long>);
    case 7: return reader.Typed<unsigned long>(4, [](std::uint64_t r) { return static_cast<unsigned long>(r); });
    case 8:
        return reader.Typed<float>(4, [](std::uint64_t r) {
            float f;
            const std::uint32_t bits = static_cast<std::uint32_t>(r);
            std::memcpy(&f, &bits, sizeof f);
            return f;
        });
    case 9:
        return reader.Typed<double>(8, [](std::uint64_t r) {
            double d;
            std::memcpy(&d, &r, sizeof d);
            return d;
        });
    case 10: return reader.Text();
    default: return reader.Raw((op >> 4) % (kMaxRaw + 1));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const int count = in.Byte() % kMaxReads + 1;
    const std::string ops = in.Bytes(static_cast<std::size_t>(count));
    const std::string payload = in.Bytes(kMaxPayload);
    CZRPipe pipe;
    if (!pipe.Open())
        Fail("the pipe cannot be opened");
    if (!payload.empty() && !pipe.Write(payload.data(), static_cast<unsigned long>(payload.size())))
        Fail("the payload cannot be written");
    CPipeReader reader(pipe, payload);
    for (char op : ops)
        if (!Read(reader, static_cast<std::uint8_t>(op)))
            break;
    if (pipe.HasData() != (reader.Left() > 0))
        Fail("the pipe holds data other than the bytes left");
    pipe.Close();
    return 0;
}
