#include "engine/task_records.h"

#include <optional>

#include "engine/byte_order.h"
#include "engine/field_layout_buffer.h"
#include "engine/record_layout.h"
#include "platform/code_page.h"

namespace morvalin {
namespace {

// The code page the records' texts are given in: the system's ANSI code page, 936 everywhere here.
constexpr int kAnsiCodePage = kCodePageGbk;

using layout::Field;

std::string Byte(unsigned char value) { return std::string(1, static_cast<char>(value)); }

// Lays out `fields` in a fresh block of `capacity` bytes, each with the initial bytes `initial` gives
// it (none when it gives nothing). On any failure the buffer is left without a block.
template <typename Fields, typename Initial>
void* LayOut(FieldLayoutBuffer& buffer, std::size_t capacity, const Fields& fields, Initial initial) {
  if (!buffer.Create(FieldLayoutBuffer::kDefaultAlignment, FieldLayoutBuffer::kDefaultFillByte, capacity)) {
    buffer.Release();
    return nullptr;
  }
  for (const Field& field : fields) {
    const std::optional<std::string> bytes = initial(field);
    const bool added = bytes ? buffer.AddField(field.name, static_cast<std::int32_t>(field.width), *bytes)
                             : buffer.AddField(field.name, static_cast<std::int32_t>(field.width));
    if (!added) {
      buffer.Release();
      return nullptr;
    }
  }
  return buffer.BlockAddress();
}

// Reads and writes of one field in its wire encoding. Without a buffer, or for a field that is not
// laid out, reads give zero values and writes give false.
std::string Bytes(const std::unique_ptr<FieldLayoutBuffer>& buffer, const Field& field) {
  return buffer ? buffer->ReadFieldBytes(field.name) : std::string();
}
bool Put(const std::unique_ptr<FieldLayoutBuffer>& buffer, const Field& field, std::string_view bytes) {
  return buffer && buffer->WriteFieldBytes(field.name, bytes);
}

std::int32_t ReadInt32(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f) {
  return le::LoadInt32(Bytes(b, f));
}
std::int64_t ReadInt64(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f) {
  return le::LoadInt64(Bytes(b, f));
}
float ReadFloat(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f) {
  return le::LoadFloat(Bytes(b, f));
}
// Any non-zero content is true, whatever the field's width.
bool ReadBool(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f) {
  return le::LoadUnsigned(Bytes(b, f), f.width) != 0;
}
std::string ReadText(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f) {
  return Utf16ToAnsi(Bytes(b, f), kAnsiCodePage);
}

bool WriteInt32(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f, std::int32_t v) {
  return Put(b, f, le::StoreInt32(v));
}
bool WriteInt64(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f, std::int64_t v) {
  return Put(b, f, le::StoreInt64(v));
}
bool WriteFloat(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f, float v) {
  return Put(b, f, le::StoreFloat(v));
}
// The whole field is written (1 or 0 as an int32, cut to a one-byte field), so no stale high byte
// can keep a false value reading true.
bool WriteBool(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f, bool v) {
  return Put(b, f, le::StoreInt32(v ? 1 : 0));
}
// The text is cut to the field, and the rest of the field is cleared, so that an empty or shorter text
// leaves nothing of the one it replaces.
bool WriteText(const std::unique_ptr<FieldLayoutBuffer>& b, const Field& f, std::string_view v) {
  std::string bytes = AnsiToUtf16(v, kAnsiCodePage);
  bytes.resize(f.width, '\0');
  return Put(b, f, bytes);
}

}  // namespace

// ---- TaskParamBlock --------------------------------------------------------------------------------

TaskParamBlock::TaskParamBlock() : buffer_(std::make_unique<FieldLayoutBuffer>()) {}
TaskParamBlock::~TaskParamBlock() = default;

void TaskParamBlock::Destroy() {
  Release();
  buffer_.reset();
}

void* TaskParamBlock::Build(std::string_view task_url, std::string_view ref_url, std::string_view cookies,
                            std::string_view file_name, std::string_view save_path, bool is_only_original,
                            bool disable_auto_rename, bool is_resume) {
  namespace p = layout::param;
  if (!buffer_) buffer_ = std::make_unique<FieldLayoutBuffer>();
  const auto flag = [](bool value) { return Byte(value ? 1 : 0); };
  return LayOut(*buffer_, p::kCapacity, p::kFields, [&](const Field& field) -> std::optional<std::string> {
    const std::size_t at = field.offset;
    if (at == p::kSzTaskUrl.offset) return AnsiToUtf16(task_url, kAnsiCodePage);
    if (at == p::kSzRefUrl.offset) return AnsiToUtf16(ref_url, kAnsiCodePage);
    if (at == p::kSzCookies.offset) return AnsiToUtf16(cookies, kAnsiCodePage);
    if (at == p::kSzFilename.offset) return AnsiToUtf16(file_name, kAnsiCodePage);
    if (at == p::kSzSavePath.offset) return AnsiToUtf16(save_path, kAnsiCodePage);
    if (at == p::kBReserved.offset) return Byte(0);
    if (at == p::kIsOnlyOriginal.offset) return flag(is_only_original);
    if (at == p::kNReserved1.offset) return Byte(5);
    if (at == p::kDisableAutoRename.offset) return flag(disable_auto_rename);
    if (at == p::kIsResume.offset) return flag(is_resume);
    return std::nullopt;
  });
}

void TaskParamBlock::Release() {
  if (buffer_) buffer_->Release();
}

void* TaskParamBlock::BlockAddress() const { return buffer_ ? buffer_->BlockAddress() : nullptr; }

std::string TaskParamBlock::szTaskUrl() const { return ReadText(buffer_, layout::param::kSzTaskUrl); }
bool TaskParamBlock::szTaskUrl(std::string_view v) {
  return WriteText(buffer_, layout::param::kSzTaskUrl, v);
}
std::string TaskParamBlock::szRefUrl() const { return ReadText(buffer_, layout::param::kSzRefUrl); }
bool TaskParamBlock::szRefUrl(std::string_view v) { return WriteText(buffer_, layout::param::kSzRefUrl, v); }
std::string TaskParamBlock::szCookies() const { return ReadText(buffer_, layout::param::kSzCookies); }
bool TaskParamBlock::szCookies(std::string_view v) {
  return WriteText(buffer_, layout::param::kSzCookies, v);
}
std::string TaskParamBlock::szFilename() const { return ReadText(buffer_, layout::param::kSzFilename); }
bool TaskParamBlock::szFilename(std::string_view v) {
  return WriteText(buffer_, layout::param::kSzFilename, v);
}
std::string TaskParamBlock::szSavePath() const { return ReadText(buffer_, layout::param::kSzSavePath); }
bool TaskParamBlock::szSavePath(std::string_view v) {
  return WriteText(buffer_, layout::param::kSzSavePath, v);
}
bool TaskParamBlock::IsOnlyOriginal() const { return ReadBool(buffer_, layout::param::kIsOnlyOriginal); }
bool TaskParamBlock::IsOnlyOriginal(bool v) { return WriteBool(buffer_, layout::param::kIsOnlyOriginal, v); }
bool TaskParamBlock::DisableAutoRename() const {
  return ReadBool(buffer_, layout::param::kDisableAutoRename);
}
bool TaskParamBlock::DisableAutoRename(bool v) {
  return WriteBool(buffer_, layout::param::kDisableAutoRename, v);
}
bool TaskParamBlock::IsResume() const { return ReadBool(buffer_, layout::param::kIsResume); }
bool TaskParamBlock::IsResume(bool v) { return WriteBool(buffer_, layout::param::kIsResume, v); }

// ---- TaskInfoBlock ---------------------------------------------------------------------------------

TaskInfoBlock::TaskInfoBlock() : buffer_(std::make_unique<FieldLayoutBuffer>()) {}
TaskInfoBlock::~TaskInfoBlock() = default;

void TaskInfoBlock::Destroy() {
  Release();
  buffer_.reset();
}

void* TaskInfoBlock::Build() {
  namespace i = layout::info;
  if (!buffer_) buffer_ = std::make_unique<FieldLayoutBuffer>();
  return LayOut(*buffer_, i::kCapacity, i::kFields, [](const Field& field) -> std::optional<std::string> {
    if (field.offset == i::kStat.offset) return le::StoreInt32(layout::kStatPaused);
    if (field.offset == i::kFailCode.offset) return le::StoreInt32(0);
    return std::nullopt;
  });
}

void TaskInfoBlock::Release() {
  if (buffer_) buffer_->Release();
}

void* TaskInfoBlock::BlockAddress() const { return buffer_ ? buffer_->BlockAddress() : nullptr; }

namespace i = layout::info;
std::int32_t TaskInfoBlock::stat() const { return ReadInt32(buffer_, i::kStat); }
bool TaskInfoBlock::stat(std::int32_t v) { return WriteInt32(buffer_, i::kStat, v); }
std::int32_t TaskInfoBlock::fail_code() const { return ReadInt32(buffer_, i::kFailCode); }
bool TaskInfoBlock::fail_code(std::int32_t v) { return WriteInt32(buffer_, i::kFailCode, v); }
std::string TaskInfoBlock::szFilename() const { return ReadText(buffer_, i::kSzFilename); }
bool TaskInfoBlock::szFilename(std::string_view v) { return WriteText(buffer_, i::kSzFilename, v); }
std::int64_t TaskInfoBlock::nTotalSize() const { return ReadInt64(buffer_, i::kNTotalSize); }
bool TaskInfoBlock::nTotalSize(std::int64_t v) { return WriteInt64(buffer_, i::kNTotalSize, v); }
std::int64_t TaskInfoBlock::nTotalDownload() const { return ReadInt64(buffer_, i::kNTotalDownload); }
bool TaskInfoBlock::nTotalDownload(std::int64_t v) { return WriteInt64(buffer_, i::kNTotalDownload, v); }
float TaskInfoBlock::fPercent() const { return ReadFloat(buffer_, i::kFPercent); }
bool TaskInfoBlock::fPercent(float v) { return WriteFloat(buffer_, i::kFPercent, v); }
std::int32_t TaskInfoBlock::nSrcTotal() const { return ReadInt32(buffer_, i::kNSrcTotal); }
bool TaskInfoBlock::nSrcTotal(std::int32_t v) { return WriteInt32(buffer_, i::kNSrcTotal, v); }
std::int32_t TaskInfoBlock::nSrcUsing() const { return ReadInt32(buffer_, i::kNSrcUsing); }
bool TaskInfoBlock::nSrcUsing(std::int32_t v) { return WriteInt32(buffer_, i::kNSrcUsing, v); }
std::int64_t TaskInfoBlock::nDonationP2P() const { return ReadInt64(buffer_, i::kNDonationP2P); }
bool TaskInfoBlock::nDonationP2P(std::int64_t v) { return WriteInt64(buffer_, i::kNDonationP2P, v); }
std::int64_t TaskInfoBlock::nDonationOrgin() const { return ReadInt64(buffer_, i::kNDonationOrgin); }
bool TaskInfoBlock::nDonationOrgin(std::int64_t v) { return WriteInt64(buffer_, i::kNDonationOrgin, v); }
std::int64_t TaskInfoBlock::nDonationP2S() const { return ReadInt64(buffer_, i::kNDonationP2S); }
bool TaskInfoBlock::nDonationP2S(std::int64_t v) { return WriteInt64(buffer_, i::kNDonationP2S, v); }
std::int32_t TaskInfoBlock::nSpeed() const { return ReadInt32(buffer_, i::kNSpeed); }
bool TaskInfoBlock::nSpeed(std::int32_t v) { return WriteInt32(buffer_, i::kNSpeed, v); }
std::int32_t TaskInfoBlock::nSpeedP2S() const { return ReadInt32(buffer_, i::kNSpeedP2S); }
bool TaskInfoBlock::nSpeedP2S(std::int32_t v) { return WriteInt32(buffer_, i::kNSpeedP2S, v); }
std::int32_t TaskInfoBlock::nSpeedP2P() const { return ReadInt32(buffer_, i::kNSpeedP2P); }
bool TaskInfoBlock::nSpeedP2P(std::int32_t v) { return WriteInt32(buffer_, i::kNSpeedP2P, v); }
bool TaskInfoBlock::bIsOriginUsable() const { return ReadBool(buffer_, i::kBIsOriginUsable); }
bool TaskInfoBlock::bIsOriginUsable(bool v) { return WriteBool(buffer_, i::kBIsOriginUsable, v); }
std::int32_t TaskInfoBlock::IsCreatingFile() const { return ReadInt32(buffer_, i::kIsCreatingFile); }
bool TaskInfoBlock::IsCreatingFile(std::int32_t v) { return WriteInt32(buffer_, i::kIsCreatingFile, v); }

}  // namespace morvalin
