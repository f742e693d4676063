// The writer interfaces the tag walk hands its chunks to, and the writers that write nothing.
//
// A chunk (one tag's payload without its media-info byte) reaches a writer as BeginChunk with its
// size, WritePiece for consecutive pieces of it, and EndChunk, so that no tag has to sit in memory whole
// whatever its size field says; WriteChunk gives a whole chunk at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/fraction_uint32.h"
#include "convert/status.h"

namespace morvalin {

using Warnings = std::vector<std::string>;

class IAudioWriter {
 public:
  virtual ~IAudioWriter() = default;
  virtual Status BeginChunk(uint32_t size, uint32_t time_stamp) = 0;
  virtual Status WritePiece(std::span<const uint8_t> piece) = 0;
  virtual Status EndChunk() = 0;
  // Completes and closes the output; called once.
  virtual Status Finish() = 0;
  // The output file, none for a writer that writes no file.
  virtual std::optional<std::filesystem::path> Path() const = 0;
  // True for a writer that ignores its chunks, so the reader may skip them unread.
  virtual bool Discards() const { return false; }

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp) {
    MORVALIN_RETURN_IF_ERROR(BeginChunk(static_cast<uint32_t>(chunk.size()), time_stamp));
    MORVALIN_RETURN_IF_ERROR(WritePiece(chunk));
    return EndChunk();
  }
};

class IVideoWriter {
 public:
  virtual ~IVideoWriter() = default;
  virtual Status BeginChunk(uint32_t size, uint32_t time_stamp, int frame_type) = 0;
  virtual Status WritePiece(std::span<const uint8_t> piece) = 0;
  virtual Status EndChunk() = 0;
  virtual Status Finish(FractionUInt32 average_frame_rate) = 0;
  virtual std::optional<std::filesystem::path> Path() const = 0;
  // A second output file, for a writer that splits the stream (the alpha channel of VP6 with alpha).
  virtual std::optional<std::filesystem::path> AlphaPath() const { return std::nullopt; }
  virtual bool Discards() const { return false; }

  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp, int frame_type) {
    MORVALIN_RETURN_IF_ERROR(BeginChunk(static_cast<uint32_t>(chunk.size()), time_stamp, frame_type));
    MORVALIN_RETURN_IF_ERROR(WritePiece(chunk));
    return EndChunk();
  }
};

class DummyAudioWriter final : public IAudioWriter {
 public:
  Status BeginChunk(uint32_t, uint32_t) override { return {}; }
  Status WritePiece(std::span<const uint8_t>) override { return {}; }
  Status EndChunk() override { return {}; }
  Status Finish() override { return {}; }
  std::optional<std::filesystem::path> Path() const override { return std::nullopt; }
  bool Discards() const override { return true; }
};

class DummyVideoWriter final : public IVideoWriter {
 public:
  Status BeginChunk(uint32_t, uint32_t, int) override { return {}; }
  Status WritePiece(std::span<const uint8_t>) override { return {}; }
  Status EndChunk() override { return {}; }
  Status Finish(FractionUInt32) override { return {}; }
  std::optional<std::filesystem::path> Path() const override { return std::nullopt; }
  bool Discards() const override { return true; }
};

}  // namespace morvalin
