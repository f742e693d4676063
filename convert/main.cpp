// kestrovan: takes the audio (and on request the video and time codes) out of an FLV file.
#include <cstdio>
#include <string>
#include <vector>

#include "convert/console_keys.h"
#include "convert/program.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  morvalin::Program program(stdout, morvalin::ReadKeyWithoutEcho);
  return program.Main(args);
}
