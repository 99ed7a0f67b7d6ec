// zrlogview: what its parts share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sViewOptions
{
    std::string slot = "debug";          // a slot name, or NAME for \\.\mailslot\NAME
    bool classMinSet = false;
    std::int32_t classMin = 0;
    std::vector<std::string> logs;       // empty: every log
    unsigned long count = 0;             // 0: until interrupted
    bool ticks = false;
    bool ascii = false;
};

// Serves the slot and prints its entries until interrupted, or until count
// messages have been shown or reported; returns the exit status.
int ViewLog(const sViewOptions& options);
