// The writer interfaces the tag walk hands its chunks to, and the writers that write nothing.
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
  // One audio tag's payload, without its media-info byte.
  virtual Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp) = 0;
  // Completes and closes the output; called once.
  virtual Status Finish() = 0;
  // The output file, none for a writer that writes no file.
  virtual std::optional<std::filesystem::path> Path() const = 0;
  // True for a writer that ignores its chunks, so the reader may skip them unread.
  virtual bool Discards() const { return false; }
  // A writer that can take a chunk in pieces says so; the reader then calls BeginChunk, WritePiece for
  // consecutive pieces and EndChunk instead of WriteChunk, so a large tag never sits in memory whole.
  virtual bool TakesPieces() const { return false; }
  virtual Status BeginChunk(uint32_t size, uint32_t time_stamp) { return {}; }
  virtual Status WritePiece(std::span<const uint8_t> piece) { return {}; }
  virtual Status EndChunk() { return {}; }
};

// An audio writer that takes every chunk in pieces; a whole chunk is one piece.
class PiecewiseAudioWriter : public IAudioWriter {
 public:
  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp) final {
    MORVALIN_RETURN_IF_ERROR(BeginChunk(static_cast<uint32_t>(chunk.size()), time_stamp));
    MORVALIN_RETURN_IF_ERROR(WritePiece(chunk));
    return EndChunk();
  }
  bool TakesPieces() const final { return true; }
};

class IVideoWriter {
 public:
  virtual ~IVideoWriter() = default;
  virtual Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp, int frame_type) = 0;
  virtual Status Finish(FractionUInt32 average_frame_rate) = 0;
  virtual std::optional<std::filesystem::path> Path() const = 0;
  // A second output file, for a writer that splits the stream (the alpha channel of VP6 with alpha).
  virtual std::optional<std::filesystem::path> AlphaPath() const { return std::nullopt; }
  virtual bool Discards() const { return false; }
  // As for audio: a chunk in pieces.
  virtual bool TakesPieces() const { return false; }
  virtual Status BeginChunk(uint32_t size, uint32_t time_stamp, int frame_type) { return {}; }
  virtual Status WritePiece(std::span<const uint8_t> piece) { return {}; }
  virtual Status EndChunk() { return {}; }
};

// A video writer that takes every chunk in pieces; a whole chunk is one piece.
class PiecewiseVideoWriter : public IVideoWriter {
 public:
  Status WriteChunk(std::span<const uint8_t> chunk, uint32_t time_stamp, int frame_type) final {
    MORVALIN_RETURN_IF_ERROR(BeginChunk(static_cast<uint32_t>(chunk.size()), time_stamp, frame_type));
    MORVALIN_RETURN_IF_ERROR(WritePiece(chunk));
    return EndChunk();
  }
  bool TakesPieces() const final { return true; }
};

class DummyAudioWriter final : public IAudioWriter {
 public:
  Status WriteChunk(std::span<const uint8_t>, uint32_t) override { return {}; }
  Status Finish() override { return {}; }
  std::optional<std::filesystem::path> Path() const override { return std::nullopt; }
  bool Discards() const override { return true; }
};

class DummyVideoWriter final : public IVideoWriter {
 public:
  Status WriteChunk(std::span<const uint8_t>, uint32_t, int) override { return {}; }
  Status Finish(FractionUInt32) override { return {}; }
  std::optional<std::filesystem::path> Path() const override { return std::nullopt; }
  bool Discards() const override { return true; }
};

}  // namespace morvalin
