// Buffered binary files for the converter: the input it walks and the outputs its writers produce.
// Both use a 65536-byte buffer; failures come back as a Status carrying the platform's message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

#include "convert/status.h"

namespace morvalin {

inline constexpr size_t kFileBufferSize = 65536;

// Builds the error for a failed file operation on `path` from errno.
Status FileError(const std::filesystem::path& path, int error_number);

class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  Status Open(const std::filesystem::path& path);
  void Close();
  int64_t Length() const { return length_; }
  int64_t Position() const { return position_; }
  // Reads exactly out.size() bytes. Returns false at a short read (the end, or an error that
  // `ReadError` then reports).
  bool Read(std::span<uint8_t> out);
  // Up to `max` bytes at the read position, straight from the buffer (valid until the next call), and
  // moves past them; empty at the end or after an error.
  std::span<const uint8_t> ReadView(size_t max);
  // Moves the read position; a position past the end is allowed and reads nothing.
  bool Seek(int64_t position);
  bool Skip(int64_t count) { return Seek(position_ + count); }
  Status ReadError() const;

 private:
  bool Fill();

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  int64_t length_ = 0;
  int64_t position_ = 0;      // logical read position
  int64_t buffer_start_ = 0;  // file position of buffer_[0]
  int64_t file_position_ = 0; // where the stream stands, so that sequential reads need no seek
  size_t buffer_size_ = 0;    // valid bytes in buffer_
  int error_ = 0;
  std::vector<uint8_t> buffer_;
};

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file, truncating an existing one, open for writing and reading back.
  Status Create(const std::filesystem::path& path);
  Status Write(std::span<const uint8_t> bytes);
  // Writes at an absolute position (for headers filled in at the end); the next Write continues there.
  Status SeekTo(int64_t position);
  // Reads back written bytes; the write position is left where it was.
  Status ReadAt(int64_t position, std::span<uint8_t> out);
  int64_t Position() const { return position_; }
  Status Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  Status Flush();

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> buffer_;
  int64_t position_ = 0;
};

}  // namespace morvalin
