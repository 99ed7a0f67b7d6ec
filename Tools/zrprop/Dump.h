// zrprop: reading saved properties. Each reader prints one line per entry and
// returns the process's exit status; a damaged input is reported on stderr
// with the file, the entry and the fault, after the entries read before it.
#pragma once

#include <string>

// A property set or a parameter list stored through a data stream, told apart
// by its marker byte.
int DumpDataStream(const std::string& path);
// A property set in the file layout (count, then name and property per entry).
int DumpFileLayout(const std::string& path);
