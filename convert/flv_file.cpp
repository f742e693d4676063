#include "convert/flv_file.h"

#include <algorithm>
#include <array>
#include <exception>
#include <system_error>

#include "convert/bit_converter.h"
#include "convert/flv_format.h"

namespace morvalin {

namespace {

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

}  // namespace

const std::vector<std::string>& FLVFile::OutputExtensions() {
  // ".wav" too: a PCM stream in "x.wav" would otherwise be written over its own input.
  static const std::vector<std::string> extensions = {".avi", ".mp3", ".264", ".aac", ".spx", ".txt", ".wav"};
  return extensions;
}

FLVFile::~FLVFile() {
  // Writers still open here belong to an extraction that never completed.
  if (audio_writer_ || video_writer_ || time_code_writer_) (void)CloseOutput(true);
}

Status FLVFile::Open(const std::filesystem::path& input_path,
                     const std::optional<std::filesystem::path>& output_directory,
                     OverwriteDelegate overwrite) {
  std::error_code ec;
  input_path_ = std::filesystem::absolute(input_path, ec);
  if (ec) return Status::Error(input_path.string() + ": " + ec.message());
  if (output_directory) {
    output_directory_ = std::filesystem::absolute(*output_directory, ec);
    if (ec) return Status::Error(output_directory->string() + ": " + ec.message());
  } else {
    output_directory_ = input_path_.parent_path();
  }
  overwrite_ = std::move(overwrite);
  return fs_.Open(input_path_);
}

Status FLVFile::ExtractStreams(bool extract_audio, bool extract_video, bool extract_time_codes) {
  extract_audio_ = extract_audio;
  extract_video_ = extract_video;
  extract_time_codes_ = extract_time_codes;
  Status walked;
  try {
    walked = Walk();
  } catch (const std::exception& e) {  // out of memory, above all
    walked = Status::Error(e.what());
  }
  if (!walked.ok()) {
    (void)CloseOutput(true);
    fs_.Close();
    return walked;
  }
  average_frame_rate_ = video_time_stamps_.AverageFrameRate();
  true_frame_rate_ = video_time_stamps_.TrueFrameRate();
  return CloseOutput(false);
}

Status FLVFile::Walk() {
  output_path_base_ = output_directory_ / input_path_.stem();

  std::array<uint8_t, flv::kHeaderFixedSize> header{};
  if (!fs_.Read(std::span(header).first(4)) || BitConverterBE::ToUInt32(header.data()) != flv::kSignature) {
    MORVALIN_RETURN_IF_ERROR(fs_.ReadError());
    return Status::Error("This isn't a FLV file.");
  }
  const auto& extensions = OutputExtensions();
  std::string extension = LowerAscii(input_path_.extension().string());
  if (std::find(extensions.begin(), extensions.end(), extension) != extensions.end()) {
    return Status::Error("Please change the extension of this FLV file.");
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(output_directory_, ec)) {
    return Status::Error("Output directory doesn't exist.");
  }

  // Flags byte, then the header size: the first previous-tag-size field stands there.
  if (!fs_.Read(std::span(header).subspan(4))) return fs_.ReadError();  // cut inside the header
  uint32_t header_size = BitConverterBE::ToUInt32(header.data() + 5);
  fs_.Seek(int64_t{header_size} + flv::kPreviousTagSizeBytes);

  while (fs_.Position() < fs_.Length()) {
    bool more = true;
    MORVALIN_RETURN_IF_ERROR(ReadTag(&more));
    if (!more) break;
    if (fs_.Length() - fs_.Position() < flv::kPreviousTagSizeBytes) break;
    fs_.Skip(flv::kPreviousTagSizeBytes);
  }
  return {};
}

Status FLVFile::ReadPieces(uint32_t size, const std::function<Status(std::span<const uint8_t>)>& take) {
  for (uint32_t left = size; left > 0;) {
    std::span<const uint8_t> piece = fs_.ReadView(left);
    if (piece.empty()) {  // the file shrank under us
      MORVALIN_RETURN_IF_ERROR(fs_.ReadError());
      return Status::Error(input_path_.string() + ": unexpected end of file");
    }
    MORVALIN_RETURN_IF_ERROR(take(piece));
    left -= static_cast<uint32_t>(piece.size());
  }
  return {};
}

Status FLVFile::ReadTag(bool* more) {
  *more = false;
  if (fs_.Length() - fs_.Position() < flv::kTagHeaderSize) return {};
  std::array<uint8_t, flv::kTagHeaderSize> tag;
  if (!fs_.Read(tag)) return fs_.ReadError();
  uint8_t tag_type = tag[0];
  uint32_t data_size = BitConverterBE::ToUInt24(tag.data() + 1);
  uint32_t time_stamp = BitConverterBE::ToUInt24(tag.data() + 4) | (uint32_t{tag[7]} << 24);
  if (data_size == 0) {
    *more = true;
    return {};
  }
  if (data_size > fs_.Length() - fs_.Position()) return {};
  *more = true;

  if (tag_type != flv::kTagAudio && tag_type != flv::kTagVideo) {
    fs_.Skip(data_size);
    return {};
  }
  uint8_t media_info = 0;
  if (!fs_.Read({&media_info, 1})) return fs_.ReadError();
  uint32_t chunk_size = data_size - 1;

  if (tag_type == flv::kTagAudio) {
    if (!audio_writer_) MORVALIN_RETURN_IF_ERROR(CreateAudioWriter(media_info));
    if (audio_writer_->Discards()) {
      fs_.Skip(chunk_size);
      return {};
    }
    IAudioWriter& writer = *audio_writer_;
    MORVALIN_RETURN_IF_ERROR(writer.BeginChunk(chunk_size, time_stamp));
    MORVALIN_RETURN_IF_ERROR(ReadPieces(chunk_size, [&](auto piece) { return writer.WritePiece(piece); }));
    return writer.EndChunk();
  }

  int frame_type = media_info >> 4;
  if (frame_type == flv::kFrameTypeInfo) {
    fs_.Skip(chunk_size);
    return {};
  }
  if (!video_writer_) MORVALIN_RETURN_IF_ERROR(CreateVideoWriter(media_info & 0x0F));
  video_time_stamps_.Add(time_stamp);
  if (video_writer_->Discards()) {
    fs_.Skip(chunk_size);
  } else {
    IVideoWriter& writer = *video_writer_;
    MORVALIN_RETURN_IF_ERROR(writer.BeginChunk(chunk_size, time_stamp, frame_type));
    MORVALIN_RETURN_IF_ERROR(ReadPieces(chunk_size, [&](auto piece) { return writer.WritePiece(piece); }));
    MORVALIN_RETURN_IF_ERROR(writer.EndChunk());
  }
  return time_code_writer_->Write(time_stamp);
}

Status FLVFile::CloseOutput(bool failed) {
  Status result;
  auto settle = [&](Status finished, std::initializer_list<std::optional<std::filesystem::path>> paths) {
    if (!finished.ok() && !failed) {
      failed = true;
      result = finished;
    }
    if (!failed) return;
    for (const auto& path : paths) {
      std::error_code ignored;
      // Only files: a directory standing where an output should go is the user's, not ours.
      if (path && std::filesystem::is_regular_file(*path, ignored)) std::filesystem::remove(*path, ignored);
    }
  };
  if (video_writer_) {
    auto writer = std::move(video_writer_);
    settle(writer->Finish(average_frame_rate_.value_or(FractionUInt32{25, 1})),
           {writer->Path(), writer->AlphaPath()});
  }
  if (audio_writer_) {
    auto writer = std::move(audio_writer_);
    settle(writer->Finish(), {writer->Path()});
  }
  if (time_code_writer_) {
    auto writer = std::move(time_code_writer_);
    settle(writer->Finish(), {writer->Path()});
  }
  return result;
}

}  // namespace morvalin
