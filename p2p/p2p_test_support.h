#pragma once
// Test helpers for p2p.so: the library loaded with dlopen from the run directory, TaskParamBlock and
// TaskInfoBlock bytes built and read at the offsets of engine/record_layout.h, temporary directories,
// and waiting for a condition.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "p2p/p2p.h"

namespace morvalin::test {

// The nine functions of the built p2p.so. The library is loaded once per process and stays loaded.
struct P2pApi {
  XL_InitFn Init = nullptr;
  XL_UnInitFn UnInit = nullptr;
  XL_CreateTaskFn CreateTask = nullptr;
  XL_StartTaskFn StartTask = nullptr;
  XL_StopTaskFn StopTask = nullptr;
  XL_DeleteTaskFn DeleteTask = nullptr;
  XL_DelTempFileFn DelTempFile = nullptr;
  XL_QueryTaskInfoExFn QueryTaskInfoEx = nullptr;
  XL_SetSpeedLimitFn SetSpeedLimit = nullptr;
  std::string error;  // why loading failed, empty when every function was found
};
const P2pApi& P2p();

// UTF-16 code units as little-endian bytes, and back; built by hand so that the tests do not share the
// library's converter.
std::string Utf16Le(const std::u16string& text);
std::u16string FromUtf16Le(const unsigned char* bytes, std::size_t width);
// An ASCII text (a URL, a plain name) as UTF-16 code units.
inline std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A TaskParamBlock of full capacity with every field laid out as the program's records do.
class ParamBlock {
 public:
  ParamBlock(const std::u16string& url, const std::u16string& file_name, const std::u16string& save_path,
             bool disable_auto_rename = true, bool is_resume = true);
  // Writes `text` into the field at `offset` of `width` bytes: zero-filled, cut to the width without a
  // terminating unit when it does not fit.
  void SetText(std::size_t offset, std::size_t width, const std::u16string& text);
  void Fill(std::size_t offset, std::size_t width, unsigned char byte);
  const void* data() const { return bytes_.data(); }

 private:
  std::vector<unsigned char> bytes_;
};

// A TaskInfoBlock of full capacity, filled with a marker byte so that untouched fields show.
class InfoBlock {
 public:
  static constexpr unsigned char kMarker = 0xCC;
  InfoBlock();
  void* data() { return bytes_.data(); }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

  std::int32_t stat() const;
  std::int32_t fail_code() const;
  std::u16string szFilename() const;
  std::int64_t nTotalSize() const;
  std::int64_t nTotalDownload() const;
  float fPercent() const;
  std::int32_t nSpeed() const;

 private:
  std::vector<unsigned char> bytes_;
};

// Queries `handle` into a fresh block; `*result` gets the function's result.
InfoBlock Query(std::uint32_t handle, std::int32_t* result = nullptr);
// Queries until `done` holds for the block or `timeout` passes; returns the last block.
InfoBlock QueryUntil(std::uint32_t handle, const std::function<bool(const InfoBlock&)>& done,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::u16string u16() const { return path_.u16string(); }

 private:
  std::filesystem::path path_;
};

// `size` bytes that differ from position to position, so that a misplaced range shows.
std::string PatternData(std::size_t size, std::uint32_t seed = 1);
std::string ReadFile(const std::filesystem::path& path);
// The names in `directory`, sorted.
std::vector<std::filesystem::path> ListDir(const std::filesystem::path& directory);

}  // namespace morvalin::test
