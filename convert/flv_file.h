// The FLV reader: checks the file header, walks the tags and hands each audio and video chunk to the
// writer chosen at the first tag of its kind. Reading is streamed through a 65536-byte buffer; a tag's
// data is read only when a writer wants it, in pieces of at most that buffer, and never past what the
// file holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "convert/file_io.h"
#include "convert/fraction_uint32.h"
#include "convert/frame_rate.h"
#include "convert/time_code_writer.h"
#include "convert/writers.h"

namespace morvalin {

// Asked before an existing output file is replaced; true replaces it.
using OverwriteDelegate = std::function<bool(const std::filesystem::path& path)>;

class FLVFile {
 public:
  FLVFile() = default;
  ~FLVFile();
  FLVFile(const FLVFile&) = delete;
  FLVFile& operator=(const FLVFile&) = delete;

  // Opens the input (made absolute). The outputs go beside it, or into `output_directory` when given.
  Status Open(const std::filesystem::path& input_path,
              const std::optional<std::filesystem::path>& output_directory, OverwriteDelegate overwrite);

  // Walks the tags and writes what was asked for. On an error every writer that had not finished is
  // closed and its output deleted before the error is returned.
  Status ExtractStreams(bool extract_audio, bool extract_video, bool extract_time_codes);
  void Close() { fs_.Close(); }

  const std::optional<FractionUInt32>& AverageFrameRate() const { return average_frame_rate_; }
  const std::optional<FractionUInt32>& TrueFrameRate() const { return true_frame_rate_; }
  const Warnings& GetWarnings() const { return warnings_; }
  bool ExtractedAudio() const { return extracted_audio_; }
  bool ExtractedVideo() const { return extracted_video_; }
  bool ExtractedTimeCodes() const { return extracted_time_codes_; }
  const std::filesystem::path& OutputPathBase() const { return output_path_base_; }

  // Extensions of the outputs: an input may not have one of them.
  static const std::vector<std::string>& OutputExtensions();

 private:
  Status Walk();
  // Reads one tag; sets *more to false at the end of the usable data.
  Status ReadTag(bool* more);
  // Hands a tag's data to `take` in pieces straight from the read buffer, so no tag needs more memory
  // than that buffer whatever its size field says.
  Status ReadPieces(uint32_t size, const std::function<Status(std::span<const uint8_t>)>& take);
  Status CreateAudioWriter(uint8_t media_info);
  Status CreateVideoWriter(int codec_id);
  std::unique_ptr<IAudioWriter> GetAudioWriter(uint8_t media_info, Status* status);
  std::unique_ptr<IVideoWriter> GetVideoWriter(int codec_id, Status* status);
  bool CanWriteTo(const std::filesystem::path& path);
  // Finishes the video, audio and time-code writers in that order. With `failed` (or once a Finish
  // fails) the outputs of the writers are deleted after finishing.
  Status CloseOutput(bool failed);

  std::filesystem::path input_path_;
  std::filesystem::path output_directory_;
  std::filesystem::path output_path_base_;
  OverwriteDelegate overwrite_;
  InputFile fs_;
  std::unique_ptr<IAudioWriter> audio_writer_;
  std::unique_ptr<IVideoWriter> video_writer_;
  std::unique_ptr<TimeCodeWriter> time_code_writer_;
  FrameRateCounter video_time_stamps_;
  bool extract_audio_ = false;
  bool extract_video_ = false;
  bool extract_time_codes_ = false;
  bool extracted_audio_ = false;
  bool extracted_video_ = false;
  bool extracted_time_codes_ = false;
  std::optional<FractionUInt32> average_frame_rate_;
  std::optional<FractionUInt32> true_frame_rate_;
  Warnings warnings_;
};

}  // namespace morvalin
