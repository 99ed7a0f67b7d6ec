// Byte corpora for benchmarks that read data of a kind a game handles: source
// text and a built binary read from disk, game records and random bytes made
// by a fixed-seed generator, so that every run sees the same bytes.
#pragma once

#include <cstddef>
#include <string>

namespace BenchCorpus
{
// The .cpp and .h files under `directory`, in path order, concatenated; at
// most `limit` bytes. Empty when none can be read.
std::string SourceFiles(const std::string& directory, std::size_t limit);

// The first `limit` bytes of a file; empty when it cannot be read.
std::string FilePrefix(const std::string& path, std::size_t limit);

// `size` bytes of 64-byte entity records as a level file would hold them:
// id, class code, grid position, orientation (mostly upright), health, team,
// flags and a zero-padded name.
std::string GameRecords(std::size_t size);

// `size` bytes from SplitMix64.
std::string RandomBytes(std::size_t size);
} // namespace BenchCorpus
