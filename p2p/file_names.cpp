#include "p2p/file_names.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace morvalin::p2p {
namespace {

// An extension is kept whole when a long name is cut, if it is at most this long (dot included).
constexpr std::size_t kMaxKeptExtension = 16;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && IsContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

}  // namespace

std::string SafeFileName(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (safe == "." || safe == "..") return std::string(safe.size(), '_');
  if (safe.size() <= kMaxFileNameBytes) return safe;

  const std::size_t dot = safe.rfind('.');
  std::string_view extension;
  if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxKeptExtension) {
    extension = std::string_view(safe).substr(dot);
  }
  std::string_view stem = std::string_view(safe).substr(0, safe.size() - extension.size());
  std::string cut(CutUtf8(stem, kMaxFileNameBytes - extension.size()));
  cut += extension;
  return cut;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

std::string ComparablePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) absolute = path;
  return absolute.lexically_normal().string();
}

bool DeleteTempFiles(const std::string& path) {
  if (path.empty()) return false;
  const std::string control = path + std::string(kControlSuffix);
  if (::unlink(control.c_str()) != 0) return false;
  ::unlink(path.c_str());
  return true;
}

}  // namespace morvalin::p2p
