#pragma once
// Small file helpers. Paths are native (UTF-8). None of them throws; failures are reported by the
// result.
#include <string>
#include <string_view>

namespace morvalin {

// Writes `bytes` to `path`, replacing any file of that name. Returns false when it could not.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Makes a file private to its owner and executable (mode 0700), the way the converter file is kept.
bool SetOwnerOnlyExecutable(const std::string& path);

// True when `path` names an existing file or directory.
bool FileExists(const std::string& path);

// Deletes a file; false when there was none or it could not be deleted.
bool DeleteFileAt(const std::string& path);

}  // namespace morvalin
