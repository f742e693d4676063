#include "engine/field_layout_buffer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace morvalin {

void FieldLayoutBuffer::FreeDeleter::operator()(unsigned char* p) const { std::free(p); }

FieldLayoutBuffer::~FieldLayoutBuffer() { Release(); }

void FieldLayoutBuffer::Destroy() {
  Release();
  fill_byte_ = kDefaultFillByte;
  alignment_ = 0;
  fields_.shrink_to_fit();
}

std::uint32_t FieldLayoutBuffer::Key(std::string_view name) {
  // zlib's crc32 takes the length as uInt; names are short, but feed long ones in pieces all the same.
  uLong crc = crc32(0L, Z_NULL, 0);
  const auto* data = reinterpret_cast<const Bytef*>(name.data());
  std::size_t left = name.size();
  while (left > 0) {
    const uInt piece = left > 0x40000000u ? 0x40000000u : static_cast<uInt>(left);
    crc = crc32(crc, data, piece);
    data += piece;
    left -= piece;
  }
  return static_cast<std::uint32_t>(crc);
}

void* FieldLayoutBuffer::Create(int alignment, std::uint8_t fill_byte, std::size_t capacity) {
  Release();
  alignment_ = alignment < 1 ? 1 : alignment;
  fill_byte_ = fill_byte;
  // One zero-filled allocation; at least one byte so that an empty block still has an address.
  block_.reset(static_cast<unsigned char*>(std::calloc(capacity == 0 ? 1 : capacity, 1)));
  capacity_ = block_ ? capacity : 0;
  return block_.get();
}

void FieldLayoutBuffer::Release() {
  used_length_ = 0;
  fields_.clear();
  block_.reset();
  capacity_ = 0;
}

const FieldLayoutBuffer::FieldEntry* FieldLayoutBuffer::Find(std::string_view name) const {
  const std::uint32_t key = Key(name);
  for (const FieldEntry& entry : fields_) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

int FieldLayoutBuffer::FindField(std::string_view name) const {
  const FieldEntry* entry = Find(name);
  return entry ? static_cast<int>(entry - fields_.data()) + 1 : 0;
}

bool FieldLayoutBuffer::AddField(std::string_view name, std::int32_t width,
                                 std::optional<std::string_view> initial_bytes) {
  if (!block_ || width < 0 || Find(name)) return false;
  const std::size_t field_width = static_cast<std::size_t>(width);
  const std::size_t unit = static_cast<std::size_t>(alignment_);
  const std::size_t rest = field_width % unit;
  const std::size_t gap = rest == 0 ? 0 : unit - rest;
  const std::size_t offset = static_cast<std::size_t>(used_length_);
  // Refuse what would run past the block, or past what the int32 used length can count.
  if (field_width + gap > capacity_ - offset || offset + field_width + gap > 0x7FFFFFFFu) return false;

  fields_.push_back(FieldEntry{std::string(name), offset, width, Key(name)});
  unsigned char* at = block_.get() + offset;
  if (initial_bytes) {
    std::copy_n(initial_bytes->data(), std::min(initial_bytes->size(), field_width), at);
  }
  std::memset(at + field_width, fill_byte_, gap);
  used_length_ = static_cast<std::int32_t>(offset + field_width + gap);
  return true;
}

std::string FieldLayoutBuffer::ReadFieldBytes(std::string_view name) const {
  const FieldEntry* entry = Find(name);
  if (!entry) return {};
  return std::string(reinterpret_cast<const char*>(block_.get() + entry->offset),
                     static_cast<std::size_t>(entry->width));
}

bool FieldLayoutBuffer::WriteFieldBytes(std::string_view name, std::string_view bytes) {
  const FieldEntry* entry = Find(name);
  if (!entry) return false;
  const std::size_t width = static_cast<std::size_t>(entry->width);
  std::copy_n(bytes.data(), std::min(bytes.size(), width), block_.get() + entry->offset);
  return true;
}

}  // namespace morvalin
