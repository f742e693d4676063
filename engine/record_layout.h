#pragma once
// Byte layouts of the two records exchanged with the engine library. Both are packed (no gaps),
// little-endian, texts UTF-16LE with a terminating zero unit when they fit their field.
// This header is the one place that knows the offsets: the record classes and p2p.so both use it.
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace morvalin::layout {

struct Field {
  const char* name;
  std::size_t offset;
  std::size_t width;
};

// TaskParamBlock: a download to create; also the image handed to XL_DelTempFile.
namespace param {
inline constexpr std::size_t kCapacity = 27000;  // size of the block behind the address
inline constexpr std::size_t kLaidOut = 26564;   // bytes covered by the fields
inline constexpr Field kNReserved{"nReserved", 0, 4};
inline constexpr Field kSzTaskUrl{"szTaskUrl", 4, 4168};
inline constexpr Field kSzRefUrl{"szRefUrl", 4172, 4168};
inline constexpr Field kSzCookies{"szCookies", 8340, 8192};
inline constexpr Field kSzFilename{"szFilename", 16532, 520};
inline constexpr Field kSzReserved0{"szReserved0", 17052, 520};
inline constexpr Field kSzSavePath{"szSavePath", 17572, 520};
inline constexpr Field kHReserved{"hReserved", 18092, 4};
inline constexpr Field kBReserved{"bReserved", 18096, 4};
inline constexpr Field kSzReserved1{"szReserved1", 18100, 128};
inline constexpr Field kSzReserved2{"szReserved2", 18228, 128};
inline constexpr Field kIsOnlyOriginal{"IsOnlyOriginal", 18356, 4};
inline constexpr Field kNReserved1{"nReserved1", 18360, 4};
inline constexpr Field kDisableAutoRename{"DisableAutoRename", 18364, 4};
inline constexpr Field kIsResume{"IsResume", 18368, 4};
inline constexpr Field kReserved{"reserved", 18372, 8192};
inline constexpr Field kFields[] = {kNReserved,  kSzTaskUrl,  kSzRefUrl,      kSzCookies,   kSzFilename,
                                    kSzReserved0, kSzSavePath, kHReserved,     kBReserved,   kSzReserved1,
                                    kSzReserved2, kIsOnlyOriginal, kNReserved1, kDisableAutoRename,
                                    kIsResume,   kReserved};
}  // namespace param

// TaskInfoBlock: one task's state, filled by XL_QueryTaskInfoEx. Fields after bIsOriginUsable lie at
// odd offsets.
namespace info {
inline constexpr std::size_t kCapacity = 1500;
inline constexpr std::size_t kLaidOut = 1429;
inline constexpr Field kStat{"stat", 0, 4};
inline constexpr Field kFailCode{"fail_code", 4, 4};
inline constexpr Field kSzFilename{"szFilename", 8, 520};
inline constexpr Field kSzReserved0{"szReserved0", 528, 520};
inline constexpr Field kNTotalSize{"nTotalSize", 1048, 8};
inline constexpr Field kNTotalDownload{"nTotalDownload", 1056, 8};
inline constexpr Field kFPercent{"fPercent", 1064, 4};
inline constexpr Field kNReserved0{"nReserved0", 1068, 4};
inline constexpr Field kNSrcTotal{"nSrcTotal", 1072, 4};
inline constexpr Field kNSrcUsing{"nSrcUsing", 1076, 4};
inline constexpr Field kNReserved1{"nReserved1", 1080, 4};
inline constexpr Field kNReserved2{"nReserved2", 1084, 4};
inline constexpr Field kNReserved3{"nReserved3", 1088, 4};
inline constexpr Field kNReserved4{"nReserved4", 1092, 4};
inline constexpr Field kNReserved5{"nReserved5", 1096, 8};
inline constexpr Field kNDonationP2P{"nDonationP2P", 1104, 8};
inline constexpr Field kNReserved6{"nReserved6", 1112, 8};
inline constexpr Field kNDonationOrgin{"nDonationOrgin", 1120, 8};
inline constexpr Field kNDonationP2S{"nDonationP2S", 1128, 8};
inline constexpr Field kNReserved7{"nReserved7", 1136, 8};
inline constexpr Field kNReserved8{"nReserved8", 1144, 8};
inline constexpr Field kNSpeed{"nSpeed", 1152, 4};
inline constexpr Field kNSpeedP2S{"nSpeedP2S", 1156, 4};
inline constexpr Field kNSpeedP2P{"nSpeedP2P", 1160, 4};
inline constexpr Field kBIsOriginUsable{"bIsOriginUsable", 1164, 1};
inline constexpr Field kFHashPercent{"fHashPercent", 1165, 4};
inline constexpr Field kIsCreatingFile{"IsCreatingFile", 1169, 4};
inline constexpr Field kReserved{"reserved", 1173, 256};
inline constexpr Field kFields[] = {
    kStat,        kFailCode,     kSzFilename,   kSzReserved0,  kNTotalSize,     kNTotalDownload, kFPercent,
    kNReserved0,  kNSrcTotal,    kNSrcUsing,    kNReserved1,   kNReserved2,     kNReserved3,     kNReserved4,
    kNReserved5,  kNDonationP2P, kNReserved6,   kNDonationOrgin, kNDonationP2S, kNReserved7,     kNReserved8,
    kNSpeed,      kNSpeedP2S,    kNSpeedP2P,    kBIsOriginUsable, kFHashPercent, kIsCreatingFile, kReserved};
}  // namespace info

// Every table must tile its record without gaps.
constexpr bool Tiles(const Field* fields, std::size_t count, std::size_t laid_out) {
  std::size_t offset = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (fields[i].offset != offset) return false;
    offset += fields[i].width;
  }
  return offset == laid_out;
}
static_assert(Tiles(param::kFields, std::size(param::kFields), param::kLaidOut));
static_assert(Tiles(info::kFields, std::size(info::kFields), info::kLaidOut));

// Task states reported in info::kStat.
inline constexpr std::int32_t kStatFailed = 1;
inline constexpr std::int32_t kStatPaused = 2;
inline constexpr std::int32_t kStatDownloading = 3;
inline constexpr std::int32_t kStatFinished = 4;

}  // namespace morvalin::layout
