// Fuzz target: the LZRW1-A block coder. The first byte chooses the mode:
//   even: the rest is a compressed block, decompressed into a destination whose
//         size the next two bytes choose; the result must lie within it and
//         nothing may be written past it (the destination is allocated exactly);
//   odd:  the rest is data, compressed into a destination of size + margin (or,
//         on bit 1, of a size chosen by the input) and decompressed again; the
//         bytes must come back unchanged whenever compression succeeded.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Common/Serialisation/ZRLzrwCompressor.h"
#include "FuzzInput.h"

namespace
{
void Fail(const char* what)
{
    std::fprintf(stderr, "lzrw fuzz: %s\n", what);
    std::abort();
}

void Decompress(CFuzzInput& in)
{
    const int room = in.Byte() | (in.Byte() << 8);
    std::string block = in.Rest();
    std::vector<unsigned char> destination(static_cast<std::size_t>(room));
    CZRLzrwCompressor coder;
    coder.SetSource(block.data(), static_cast<int>(block.size()));
    coder.SetDestination(destination.data(), room);
    const int produced = coder.Decompress();
    if (produced < 0 || produced > room)
        Fail("decompression produced more than its destination holds");
}

void RoundTrip(CFuzzInput& in, bool smallDestination)
{
    const int chosenRoom = in.Byte() | (in.Byte() << 8);
    std::string data = in.Rest();
    const int size = static_cast<int>(data.size());
    const int room = smallDestination ? chosenRoom : size + CZRLzrwCompressor::COMPRESSION_MARGIN;
    std::vector<unsigned char> block(static_cast<std::size_t>(room));
    CZRLzrwCompressor coder;
    coder.SetSource(data.data(), size);
    coder.SetDestination(block.data(), room);
    const int length = coder.Compress();
    if (length == -1 && (!smallDestination || room >= size + 4))
        Fail("compression refused a destination that holds a copy block");
    if (length == -1)
        return;
    if (length < 4 || length > size + 4 || length > room)
        Fail("compressed block length out of range");

    std::vector<unsigned char> restored(static_cast<std::size_t>(size));
    coder.SetSource(block.data(), length);
    coder.SetDestination(restored.data(), size);
    if (coder.Decompress() != size ||
        (size > 0 && std::memcmp(restored.data(), data.data(), static_cast<std::size_t>(size)) != 0))
        Fail("compress then decompress changed the data");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const std::uint8_t mode = in.Byte();
    if ((mode & 1) == 0)
        Decompress(in);
    else
        RoundTrip(in, (mode & 2) != 0);
    return 0;
}
