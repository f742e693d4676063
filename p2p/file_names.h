#pragma once
// Where a task's file lies, and removing what a cut-short download leaves behind.
//
// A file name never leads outside its task's directory: "/" and NUL become "_", a name "." or ".."
// becomes "_" or "__", and a name longer than kMaxFileNameBytes is cut on a UTF-8 character boundary,
// keeping a short extension, so that the control file "<name>.aria2" still fits the file system's
// 255-byte name limit. The rule is idempotent, so a name the engine reported maps to itself.
#include <cstddef>
#include <string>
#include <string_view>

namespace morvalin::p2p {

inline constexpr std::size_t kMaxFileNameBytes = 255 - 6;  // room for ".aria2"
inline constexpr std::string_view kControlSuffix = ".aria2";

// `name` is UTF-8. An empty name stays empty (the engine then takes the name from the URL).
std::string SafeFileName(std::string_view name);

// `directory` joined with an already safe `name`; an empty directory means the current one.
std::string JoinPath(const std::string& directory, const std::string& name);

// An absolute, lexically normal form of `path`, for telling whether two paths name the same file.
std::string ComparablePath(const std::string& path);

// Removes `path` + ".aria2" and, only when that control file existed, the partial file `path` itself.
// A finished download has no control file, so it is never removed. Returns whether a control file was
// removed.
bool DeleteTempFiles(const std::string& path);

}  // namespace morvalin::p2p
