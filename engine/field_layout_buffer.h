#pragma once
// A record of named, fixed-width fields laid out one after another in a single zero-filled block, so
// that the block's address can be handed to a library expecting a packed record, and the fields can
// afterwards be read and written by name. A field is found by the CRC-32 (IEEE 802.3, initial value 0)
// of its name's bytes; two names with the same key count as the same field.
//
// The block is allocated once per Create with a fixed capacity and never moves or grows, so its address
// stays valid until Release. Every field is followed by a gap of fill bytes that rounds its width up to
// a multiple of the alignment. A field that would not fit into the rest of the block is refused: AddField
// returns false and changes nothing, so nothing is ever written past the block.
//
// Not thread-safe; each owner uses its buffer from one thread at a time.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvalin {

class FieldLayoutBuffer {
 public:
  static constexpr int kDefaultAlignment = 1;
  static constexpr std::uint8_t kDefaultFillByte = 204;  // 0xCC
  static constexpr std::size_t kDefaultCapacity = 1024;

  FieldLayoutBuffer() = default;
  ~FieldLayoutBuffer();
  FieldLayoutBuffer(const FieldLayoutBuffer&) = delete;
  FieldLayoutBuffer& operator=(const FieldLayoutBuffer&) = delete;

  // Release, and forget the alignment and fill byte: the object is as new.
  void Destroy();
  // Releases what the object holds, then makes a zero-filled block of `capacity` bytes. Returns the
  // block address, or nullptr when the block could not be had (the object then has no block). An
  // alignment below 1 is taken as 1.
  void* Create(int alignment = kDefaultAlignment, std::uint8_t fill_byte = kDefaultFillByte,
               std::size_t capacity = kDefaultCapacity);
  // Gives back the block and drops every field; used length 0. Harmless in any state.
  void Release();
  // Lays out a field of `width` bytes after the last one, writes at most `width` of `initial_bytes`
  // into it (without them the field stays zero) and fills the alignment gap. False, with nothing
  // changed, when there is no block, the width is negative, the name's key is already laid out, or
  // the field and its gap would not fit into the block.
  bool AddField(std::string_view name, std::int32_t width,
                std::optional<std::string_view> initial_bytes = std::nullopt);
  // 1-based position of the field with the name's key in the order added; 0 when absent.
  int FindField(std::string_view name) const;
  // A copy of the field's bytes; empty when absent.
  std::string ReadFieldBytes(std::string_view name) const;
  // Writes at most the field's width of `bytes` at its start, leaving the rest of the field as it was.
  // False when the field is absent.
  bool WriteFieldBytes(std::string_view name, std::string_view bytes);
  // Bytes laid out so far (fields and gaps), which is also the offset of the next field.
  std::int32_t UsedLength() const { return used_length_; }
  // The block's address, nullptr when there is none.
  void* BlockAddress() const { return block_.get(); }

  int Alignment() const { return alignment_; }
  std::uint8_t FillByte() const { return fill_byte_; }
  std::size_t Capacity() const { return block_ ? capacity_ : 0; }

  // The key a name is found by: zlib's CRC-32 of its bytes.
  static std::uint32_t Key(std::string_view name);

 private:
  struct FieldEntry {
    std::string name;
    std::size_t offset;  // from the block start
    std::int32_t width;
    std::uint32_t key;
  };
  struct FreeDeleter {
    void operator()(unsigned char* p) const;
  };

  const FieldEntry* Find(std::string_view name) const;

  std::uint8_t fill_byte_ = kDefaultFillByte;
  std::int32_t used_length_ = 0;
  std::unique_ptr<unsigned char, FreeDeleter> block_;
  std::size_t capacity_ = 0;
  std::vector<FieldEntry> fields_;
  int alignment_ = 0;  // 0 until the first Create
};

}  // namespace morvalin
