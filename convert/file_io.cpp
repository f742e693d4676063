#include "convert/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace morvalin {

namespace {

// Positions the stream; long is 64 bits on the platforms this program is built for.
static_assert(sizeof(long) >= sizeof(int64_t), "file positions need a 64-bit long");
bool SeekStream(std::FILE* file, int64_t position) {
  return std::fseek(file, static_cast<long>(position), SEEK_SET) == 0;
}

}  // namespace

Status FileError(const std::filesystem::path& path, int error_number) {
  return Status::Error(path.string() + ": " + std::strerror(error_number != 0 ? error_number : EIO));
}

Status InputFile::Open(const std::filesystem::path& path) {
  Close();
  path_ = path;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return FileError(path, EISDIR);
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return FileError(path, errno);
  std::setvbuf(file_, nullptr, _IONBF, 0);  // this class buffers on its own
  if (std::fseek(file_, 0, SEEK_END) != 0) return FileError(path, errno);
  length_ = static_cast<int64_t>(std::ftell(file_));
  if (length_ < 0 || !SeekStream(file_, 0)) return FileError(path, errno);
  buffer_.resize(kFileBufferSize);
  position_ = buffer_start_ = file_position_ = 0;
  buffer_size_ = 0;
  error_ = 0;
  return {};
}

void InputFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  buffer_.clear();
  buffer_.shrink_to_fit();
  buffer_size_ = 0;
}

bool InputFile::Fill() {
  buffer_size_ = 0;
  if (file_ == nullptr || position_ >= length_) return false;
  // A short skip forward is read through: one read costs less than a seek and a read.
  int64_t start = position_;
  int64_t gap = position_ - file_position_;
  if (file_position_ >= 0 && gap > 0 && gap < static_cast<int64_t>(buffer_.size() / 2)) start = file_position_;
  if (start != file_position_ && !SeekStream(file_, start)) {
    error_ = errno;
    file_position_ = -1;
    return false;
  }
  buffer_start_ = start;
  buffer_size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  file_position_ = start + static_cast<int64_t>(buffer_size_);
  if (buffer_size_ == 0 && std::ferror(file_)) error_ = errno != 0 ? errno : EIO;
  return position_ < file_position_;
}

bool InputFile::Read(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    size_t remaining = out.size() - done;
    int64_t in_buffer = buffer_start_ + static_cast<int64_t>(buffer_size_) - position_;
    if (position_ >= buffer_start_ && in_buffer > 0) {
      size_t take = std::min(remaining, static_cast<size_t>(in_buffer));
      std::memcpy(out.data() + done, buffer_.data() + (position_ - buffer_start_), take);
      done += take;
      position_ += static_cast<int64_t>(take);
    } else if (!Fill()) {
      return false;
    }
  }
  return true;
}

std::span<const uint8_t> InputFile::ReadView(size_t max) {
  int64_t in_buffer = buffer_start_ + static_cast<int64_t>(buffer_size_) - position_;
  if (position_ < buffer_start_ || in_buffer <= 0) {
    if (!Fill()) return {};
    in_buffer = buffer_start_ + static_cast<int64_t>(buffer_size_) - position_;
  }
  size_t take = std::min(max, static_cast<size_t>(in_buffer));
  std::span<const uint8_t> view(buffer_.data() + (position_ - buffer_start_), take);
  position_ += static_cast<int64_t>(take);
  return view;
}

bool InputFile::Seek(int64_t position) {
  if (position < 0) return false;
  position_ = position;
  return true;
}

Status InputFile::ReadError() const {
  if (error_ != 0) return FileError(path_, error_);
  return {};
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

Status OutputFile::Create(const std::filesystem::path& path) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "w+b");
  if (file_ == nullptr) return FileError(path, errno);
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_.reserve(kFileBufferSize);
  position_ = 0;
  return {};
}

Status OutputFile::Flush() {
  if (buffer_.empty()) return {};
  size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  if (written != buffer_.size()) return FileError(path_, errno);
  buffer_.clear();
  return {};
}

Status OutputFile::Write(std::span<const uint8_t> bytes) {
  if (file_ == nullptr) return FileError(path_, EBADF);
  if (buffer_.size() + bytes.size() > kFileBufferSize) {
    MORVALIN_RETURN_IF_ERROR(Flush());
    if (bytes.size() >= kFileBufferSize) {
      if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return FileError(path_, errno);
      position_ += static_cast<int64_t>(bytes.size());
      return {};
    }
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  position_ += static_cast<int64_t>(bytes.size());
  return {};
}

Status OutputFile::SeekTo(int64_t position) {
  if (file_ == nullptr) return FileError(path_, EBADF);
  MORVALIN_RETURN_IF_ERROR(Flush());
  if (!SeekStream(file_, position)) return FileError(path_, errno);
  position_ = position;
  return {};
}

Status OutputFile::ReadAt(int64_t position, std::span<uint8_t> out) {
  if (file_ == nullptr) return FileError(path_, EBADF);
  MORVALIN_RETURN_IF_ERROR(Flush());
  if (!SeekStream(file_, position)) return FileError(path_, errno);
  if (std::fread(out.data(), 1, out.size(), file_) != out.size()) {
    return FileError(path_, std::ferror(file_) ? errno : EIO);
  }
  if (!SeekStream(file_, position_)) return FileError(path_, errno);
  return {};
}

Status OutputFile::Close() {
  if (file_ == nullptr) return {};
  Status flushed = Flush();
  int closed = std::fclose(file_);
  int close_error = errno;
  file_ = nullptr;
  buffer_.clear();
  buffer_.shrink_to_fit();
  if (!flushed.ok()) return flushed;
  if (closed != 0) return FileError(path_, close_error);
  return {};
}

}  // namespace morvalin
