// Single key presses from standard input. On a terminal the keys are read one at a time without echo
// (the terminal mode is restored afterwards); otherwise bytes are read as they come.
#pragma once

namespace morvalin {

// Returns the next key as a byte value, or -1 at the end of input.
int ReadKeyWithoutEcho();

}  // namespace morvalin
