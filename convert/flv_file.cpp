#include "convert/flv_file.h"

#include <algorithm>
#include <array>
#include <exception>
#include <system_error>

#include "convert/aac_writer.h"
#include "convert/avi_writer.h"
#include "convert/bit_converter.h"
#include "convert/flv_format.h"
#include "convert/mp3_writer.h"
#include "convert/raw_h264_writer.h"
#include "convert/speex_writer.h"
#include "convert/wav_writer.h"

namespace morvalin {

namespace {

std::string AudioRefused(const std::string& name) {
  return "Unable to extract audio (" + name + " is unsupported).";
}
std::string VideoRefused(const std::string& name) {
  return "Unable to extract video (" + name + " is unsupported).";
}

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// Opens a new writer; the writer is handed back even when that fails, so the error path removes
// whatever it created.
template <typename Writer>
std::unique_ptr<Writer> Opened(std::unique_ptr<Writer> writer, Status* status) {
  *status = writer->Open();
  return writer;
}

std::filesystem::path WithSuffix(const std::filesystem::path& base, const char* suffix) {
  return std::filesystem::path(base.string() + suffix);
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

Status FLVFile::ReadChunk(uint32_t size) {
  chunk_.resize(size);
  if (!fs_.Read(chunk_)) {
    MORVALIN_RETURN_IF_ERROR(fs_.ReadError());
    return Status::Error(input_path_.string() + ": unexpected end of file");
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
    MORVALIN_RETURN_IF_ERROR(ReadChunk(chunk_size));
    return audio_writer_->WriteChunk(chunk_, time_stamp);
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
    MORVALIN_RETURN_IF_ERROR(ReadChunk(chunk_size));
    MORVALIN_RETURN_IF_ERROR(video_writer_->WriteChunk(chunk_, time_stamp, frame_type));
  }
  return time_code_writer_->Write(time_stamp);
}

bool FLVFile::CanWriteTo(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return true;
  return overwrite_ && overwrite_(path);
}

Status FLVFile::CreateAudioWriter(uint8_t media_info) {
  Status status;
  if (extract_audio_) audio_writer_ = GetAudioWriter(media_info, &status);
  extracted_audio_ = audio_writer_ != nullptr;
  if (!audio_writer_) audio_writer_ = std::make_unique<DummyAudioWriter>();
  return status;
}

Status FLVFile::CreateVideoWriter(int codec_id) {
  Status status;
  if (extract_video_) video_writer_ = GetVideoWriter(codec_id, &status);
  extracted_video_ = video_writer_ != nullptr;
  if (!video_writer_) video_writer_ = std::make_unique<DummyVideoWriter>();
  MORVALIN_RETURN_IF_ERROR(status);

  std::filesystem::path path = WithSuffix(output_path_base_, ".txt");
  if (extract_time_codes_ && CanWriteTo(path)) {
    time_code_writer_ = std::make_unique<TimeCodeWriter>(path);
    extracted_time_codes_ = true;
  } else {
    time_code_writer_ = std::make_unique<TimeCodeWriter>();
  }
  return time_code_writer_->Open();
}

// Creates and opens the writer of the stream's format. A refused format or a declined overwrite gives
// no writer; a writer whose file cannot be created is returned all the same with the error, so that
// the error path cleans up after it.
std::unique_ptr<IAudioWriter> FLVFile::GetAudioWriter(uint8_t media_info, Status* status) {
  int format = media_info >> 4;
  int rate = (media_info >> 2) & 0x03;
  int bits = (media_info & 0x02) ? 16 : 8;
  int channels = (media_info & 0x01) ? 2 : 1;
  switch (format) {
    case flv::kSoundFormatMp3:
    case flv::kSoundFormatMp38k: {
      auto path = WithSuffix(output_path_base_, ".mp3");
      if (!CanWriteTo(path)) return nullptr;
      return Opened(std::make_unique<MP3Writer>(path, warnings_), status);
    }
    case flv::kSoundFormatPcmPlatform:
    case flv::kSoundFormatPcmLittle: {
      auto path = WithSuffix(output_path_base_, ".wav");
      if (!CanWriteTo(path)) return nullptr;
      if (format == flv::kSoundFormatPcmPlatform) {
        warnings_.push_back("PCM byte order unspecified, assuming little endian.");
      }
      return Opened(std::make_unique<WAVWriter>(path, bits, channels, flv::kPcmSampleRates[rate]), status);
    }
    case flv::kSoundFormatAac: {
      auto path = WithSuffix(output_path_base_, ".aac");
      if (!CanWriteTo(path)) return nullptr;
      return Opened(std::make_unique<AACWriter>(path), status);
    }
    case flv::kSoundFormatSpeex: {
      auto path = WithSuffix(output_path_base_, ".spx");
      if (!CanWriteTo(path)) return nullptr;
      return Opened(std::make_unique<SpeexWriter>(path, static_cast<uint32_t>(fs_.Length())), status);
    }
    case flv::kSoundFormatAdpcm:
      warnings_.push_back(AudioRefused("ADPCM"));
      return nullptr;
    case flv::kSoundFormatNellymoser16k:
    case flv::kSoundFormatNellymoser8k:
    case flv::kSoundFormatNellymoser:
      warnings_.push_back(AudioRefused("Nellymoser"));
      return nullptr;
    default:
      warnings_.push_back(AudioRefused("format=" + std::to_string(format)));
      return nullptr;
  }
}

std::unique_ptr<IVideoWriter> FLVFile::GetVideoWriter(int codec_id, Status* status) {
  switch (codec_id) {
    case flv::kCodecSorensonH263:
    case flv::kCodecVp6:
    case flv::kCodecVp6Alpha: {
      if (!CanWriteTo(WithSuffix(output_path_base_, ".avi"))) return nullptr;
      if (codec_id == flv::kCodecVp6Alpha && !CanWriteTo(WithSuffix(output_path_base_, ".alpha.avi"))) {
        return nullptr;
      }
      return Opened(std::make_unique<AVIWriter>(output_path_base_, codec_id, warnings_), status);
    }
    case flv::kCodecH264: {
      auto path = WithSuffix(output_path_base_, ".264");
      if (!CanWriteTo(path)) return nullptr;
      return Opened(std::make_unique<RawH264Writer>(path), status);
    }
    case flv::kCodecScreen:
      warnings_.push_back(VideoRefused("Screen"));
      return nullptr;
    case flv::kCodecScreen2:
      warnings_.push_back(VideoRefused("Screen2"));
      return nullptr;
    default:
      warnings_.push_back(VideoRefused("codecID=" + std::to_string(codec_id)));
      return nullptr;
  }
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
