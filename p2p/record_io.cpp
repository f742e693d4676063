#include "p2p/record_io.h"

#include <bit>
#include <cstring>

#include "engine/record_layout.h"
#include "platform/code_page.h"

namespace morvalin::p2p {
namespace {

std::uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLe(unsigned char* p, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

void StoreField(unsigned char* block, const layout::Field& field, std::uint64_t value) {
  StoreLe(block + field.offset, value, field.width);
}

bool ReadBool32(const unsigned char* block, const layout::Field& field) {
  return LoadLe32(block + field.offset) != 0;
}

std::string ReadText(const unsigned char* block, const layout::Field& field) {
  return ReadUtf16Field(block + field.offset, field.width);
}

bool IsHighSurrogate(const std::string& units, std::size_t unit_offset) {
  const unsigned hi = static_cast<unsigned char>(units[unit_offset + 1]);
  return hi >= 0xD8 && hi <= 0xDB;
}

}  // namespace

std::string ReadUtf16Field(const unsigned char* field, std::size_t width) {
  std::size_t length = 0;
  while (length + 1 < width && (field[length] != 0 || field[length + 1] != 0)) length += 2;
  if (length == 0) return {};
  return ConvertCodePage(std::string_view(reinterpret_cast<const char*>(field), length), kCodePageUtf16Le,
                         kCodePageUtf8);
}

void WriteUtf16Field(const std::string& utf8, unsigned char* field, std::size_t width) {
  std::memset(field, 0, width);
  if (width < 2) return;
  std::string units = ConvertCodePage(utf8, kCodePageUtf8, kCodePageUtf16Le);
  std::size_t room = (width - 2) & ~std::size_t{1};  // keep one zero unit
  if (units.size() > room) {
    units.resize(room);
    // Do not leave the first half of a surrogate pair at the end.
    if (units.size() >= 2 && IsHighSurrogate(units, units.size() - 2)) units.resize(units.size() - 2);
  }
  std::memcpy(field, units.data(), units.size());
}

TaskParams ReadTaskParams(const void* block) {
  namespace param = layout::param;
  const auto* bytes = static_cast<const unsigned char*>(block);
  TaskParams params;
  params.url = ReadText(bytes, param::kSzTaskUrl);
  params.referrer = ReadText(bytes, param::kSzRefUrl);
  params.cookies = ReadText(bytes, param::kSzCookies);
  params.file_name = ReadText(bytes, param::kSzFilename);
  params.save_path = ReadText(bytes, param::kSzSavePath);
  params.disable_auto_rename = ReadBool32(bytes, param::kDisableAutoRename);
  params.resume = ReadBool32(bytes, param::kIsResume);
  return params;
}

void WriteTaskInfo(const TaskInfo& info, void* block) {
  namespace i = layout::info;
  auto* bytes = static_cast<unsigned char*>(block);
  std::memset(bytes, 0, i::kLaidOut);
  StoreField(bytes, i::kStat, static_cast<std::uint32_t>(info.stat));
  StoreField(bytes, i::kFailCode, static_cast<std::uint32_t>(info.fail_code));
  WriteUtf16Field(info.file_name, bytes + i::kSzFilename.offset, i::kSzFilename.width);
  StoreField(bytes, i::kNTotalSize, static_cast<std::uint64_t>(info.total_size));
  StoreField(bytes, i::kNTotalDownload, static_cast<std::uint64_t>(info.downloaded));
  StoreField(bytes, i::kFPercent, std::bit_cast<std::uint32_t>(info.percent));
  StoreField(bytes, i::kNSrcTotal, static_cast<std::uint32_t>(info.sources_total));
  StoreField(bytes, i::kNSrcUsing, static_cast<std::uint32_t>(info.sources_using));
  // Everything comes from the origin server: there are no peers.
  StoreField(bytes, i::kNDonationOrgin, static_cast<std::uint64_t>(info.downloaded));
  StoreField(bytes, i::kNSpeed, static_cast<std::uint32_t>(info.speed));
  StoreField(bytes, i::kNSpeedP2S, static_cast<std::uint32_t>(info.speed));
  StoreField(bytes, i::kBIsOriginUsable, info.stat == layout::kStatFailed ? 0 : 1);
}

}  // namespace morvalin::p2p
