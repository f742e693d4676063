#pragma once
#include <string>

namespace morvalin {

// The directory that holds the running program, without a trailing separator, as a native (UTF-8)
// path. The converter file, the store and the engine library are found beside the program.
std::string RunDirectory();

}  // namespace morvalin
