// The choice of writer for each stream of an FLV file, from its first tag's media-info byte.
#include <memory>
#include <string>
#include <system_error>

#include "convert/aac_writer.h"
#include "convert/avi_writer.h"
#include "convert/flv_file.h"
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

}  // namespace morvalin
