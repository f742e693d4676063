// The console program: banner, command line, the overwrite prompt, and the report of an extraction
// (frame rates, warnings, "完成." or "错误: " with the message). Console text is UTF-8.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvalin {

struct CommandLine {
  bool extract_video = false;
  bool extract_audio = false;
  bool extract_time_codes = false;
  bool overwrite = false;
  std::optional<std::filesystem::path> output_directory;
  std::filesystem::path input_path;
};

// Switches first ("-v", "-a", "-t", "-o", "-d <dir>"), the input path last and alone. None for any
// other layout.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args);

class Program {
 public:
  // `read_key` gives the next key press, -1 at the end of input (answered as "n").
  Program(std::FILE* out, std::function<int()> read_key) : out_(out), read_key_(std::move(read_key)) {}
  // Runs the converter with the arguments after the program name; returns the exit code.
  int Main(const std::vector<std::string>& args);

  // Asks whether the existing file `path` may be replaced; only "y" and "n" are taken.
  bool PromptOverwrite(const std::filesystem::path& path);

 private:
  void Line(const std::string& text = "");

  std::FILE* out_;
  std::function<int()> read_key_;
};

}  // namespace morvalin
