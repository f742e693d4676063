#pragma once
// Reading a TaskParamBlock and filling a TaskInfoBlock at the offsets of engine/record_layout.h.
//
// Integers are little-endian and go through explicit byte helpers, never a struct cast over the block.
// Texts are UTF-16LE in the records and UTF-8 here; a text is read up to its first zero unit and never
// past its field, even when the field holds no terminating zero unit.
#include <cstdint>
#include <string>

namespace morvalin::p2p {

// What the engine takes from a TaskParamBlock. Texts are UTF-8.
struct TaskParams {
  std::string url;
  std::string referrer;
  std::string cookies;
  std::string file_name;  // as given; FileNames makes it safe
  std::string save_path;
  bool disable_auto_rename = false;
  bool resume = false;
};

// A task's state as XL_QueryTaskInfoEx reports it.
struct TaskInfo {
  std::int32_t stat = 0;
  std::int32_t fail_code = 0;
  std::string file_name;  // UTF-8; cut to the field on a unit boundary when written
  std::int64_t total_size = 0;
  std::int64_t downloaded = 0;
  float percent = 0;  // fraction 0 to 1
  std::int32_t sources_total = 0;
  std::int32_t sources_using = 0;
  std::int32_t speed = 0;  // bytes per second
};

// `block` must hold at least layout::param::kLaidOut bytes.
TaskParams ReadTaskParams(const void* block);

// Overwrites the laid-out bytes of a TaskInfoBlock (layout::info::kLaidOut) with `info`; fields the
// engine has no value for are zero.
void WriteTaskInfo(const TaskInfo& info, void* block);

// The UTF-16LE text of a field of `width` bytes at `field`, up to the first zero unit, as UTF-8.
std::string ReadUtf16Field(const unsigned char* field, std::size_t width);
// Writes `utf8` as UTF-16LE into a zero-filled field of `width` bytes, cut on a character boundary so
// that a terminating zero unit always fits.
void WriteUtf16Field(const std::string& utf8, unsigned char* field, std::size_t width);

}  // namespace morvalin::p2p
