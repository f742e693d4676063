#include "platform/run_directory.h"

#include <filesystem>
#include <system_error>

namespace morvalin {

std::string RunDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  std::string dir = exe.parent_path().string();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace morvalin
