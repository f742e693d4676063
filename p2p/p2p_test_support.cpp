#include "p2p/p2p_test_support.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "engine/record_layout.h"

namespace morvalin::test {
namespace {

namespace param = layout::param;
namespace info = layout::info;

template <typename Fn>
void Resolve(void* library, const char* name, Fn* target, std::string* error) {
  *target = reinterpret_cast<Fn>(dlsym(library, name));
  if (!*target && error->empty()) *error = std::string("missing function ") + name;
}

P2pApi Load() {
  P2pApi api;
  const std::string path = std::string(MORVALIN_RUN_DIR) + "/p2p.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    api.error = std::string("cannot load ") + path + ": " + dlerror();
    return api;
  }
  Resolve(library, "XL_Init", &api.Init, &api.error);
  Resolve(library, "XL_UnInit", &api.UnInit, &api.error);
  Resolve(library, "XL_CreateTask", &api.CreateTask, &api.error);
  Resolve(library, "XL_StartTask", &api.StartTask, &api.error);
  Resolve(library, "XL_StopTask", &api.StopTask, &api.error);
  Resolve(library, "XL_DeleteTask", &api.DeleteTask, &api.error);
  Resolve(library, "XL_DelTempFile", &api.DelTempFile, &api.error);
  Resolve(library, "XL_QueryTaskInfoEx", &api.QueryTaskInfoEx, &api.error);
  Resolve(library, "XL_SetSpeedLimit", &api.SetSpeedLimit, &api.error);
  return api;
}

std::uint64_t LoadLe(const std::vector<unsigned char>& bytes, const layout::Field& field) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < field.width; ++i) value |= std::uint64_t{bytes[field.offset + i]} << (8 * i);
  return value;
}

}  // namespace

const P2pApi& P2p() {
  static const P2pApi api = Load();
  return api;
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string FromUtf16Le(const unsigned char* bytes, std::size_t width) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < width; i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

ParamBlock::ParamBlock(const std::u16string& url, const std::u16string& file_name,
                       const std::u16string& save_path, bool disable_auto_rename, bool is_resume)
    : bytes_(param::kCapacity, 0) {
  SetText(param::kSzTaskUrl.offset, param::kSzTaskUrl.width, url);
  SetText(param::kSzFilename.offset, param::kSzFilename.width, file_name);
  SetText(param::kSzSavePath.offset, param::kSzSavePath.width, save_path);
  bytes_[param::kNReserved1.offset] = 5;
  bytes_[param::kDisableAutoRename.offset] = disable_auto_rename ? 1 : 0;
  bytes_[param::kIsResume.offset] = is_resume ? 1 : 0;
}

void ParamBlock::SetText(std::size_t offset, std::size_t width, const std::u16string& text) {
  std::fill_n(bytes_.begin() + offset, width, 0);
  const std::string units = Utf16Le(text);
  std::copy_n(units.begin(), std::min(units.size(), width), bytes_.begin() + offset);
}

void ParamBlock::Fill(std::size_t offset, std::size_t width, unsigned char byte) {
  std::fill_n(bytes_.begin() + offset, width, byte);
}

InfoBlock::InfoBlock() : bytes_(info::kCapacity, kMarker) {}

std::int32_t InfoBlock::stat() const { return static_cast<std::int32_t>(LoadLe(bytes_, info::kStat)); }
std::int32_t InfoBlock::fail_code() const {
  return static_cast<std::int32_t>(LoadLe(bytes_, info::kFailCode));
}
std::u16string InfoBlock::szFilename() const {
  return FromUtf16Le(bytes_.data() + info::kSzFilename.offset, info::kSzFilename.width);
}
std::int64_t InfoBlock::nTotalSize() const { return static_cast<std::int64_t>(LoadLe(bytes_, info::kNTotalSize)); }
std::int64_t InfoBlock::nTotalDownload() const {
  return static_cast<std::int64_t>(LoadLe(bytes_, info::kNTotalDownload));
}
float InfoBlock::fPercent() const {
  return std::bit_cast<float>(static_cast<std::uint32_t>(LoadLe(bytes_, info::kFPercent)));
}
std::int32_t InfoBlock::nSpeed() const { return static_cast<std::int32_t>(LoadLe(bytes_, info::kNSpeed)); }

InfoBlock Query(std::uint32_t handle, std::int32_t* result) {
  InfoBlock block;
  const std::int32_t r = P2p().QueryTaskInfoEx(handle, block.data());
  if (result) *result = r;
  return block;
}

InfoBlock QueryUntil(std::uint32_t handle, const std::function<bool(const InfoBlock&)>& done,
                     std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    InfoBlock block = Query(handle);
    if (done(block) || std::chrono::steady_clock::now() > deadline) return block;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "p2p_test_XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string PatternData(std::size_t size, std::uint32_t seed) {
  std::string data(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : data) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> ListDir(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
    names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace morvalin::test
