// Binary layouts and constants of the FLV container and of the audio and video formats the converter
// writes: shared by the tag reader and every writer so that each number lives in one place.
#pragma once

#include <array>
#include <cstdint>

namespace morvalin::flv {

// File header: "FLV" and version 1, read as one big-endian word.
inline constexpr uint32_t kSignature = 0x464C5601;
inline constexpr int kHeaderFixedSize = 9;      // signature(4) flags(1) header size(4)
inline constexpr int kPreviousTagSizeBytes = 4;
inline constexpr int kTagHeaderSize = 11;       // type(1) size(3) time(3+1) stream id(3)
inline constexpr uint32_t kMaxTagDataSize = 0xFFFFFF;

// Tag types.
inline constexpr uint8_t kTagAudio = 8;
inline constexpr uint8_t kTagVideo = 9;

// Audio media-info byte: format(4) rate(2) size(1) channels(1).
inline constexpr int kSoundFormatPcmPlatform = 0;
inline constexpr int kSoundFormatAdpcm = 1;
inline constexpr int kSoundFormatMp3 = 2;
inline constexpr int kSoundFormatPcmLittle = 3;
inline constexpr int kSoundFormatNellymoser16k = 4;
inline constexpr int kSoundFormatNellymoser8k = 5;
inline constexpr int kSoundFormatNellymoser = 6;
inline constexpr int kSoundFormatAac = 10;
inline constexpr int kSoundFormatSpeex = 11;
inline constexpr int kSoundFormatMp38k = 14;
inline constexpr std::array<uint32_t, 4> kPcmSampleRates = {5512, 11025, 22050, 44100};

// Video media-info byte: frame type(4) codec(4).
inline constexpr int kFrameTypeKey = 1;
inline constexpr int kFrameTypeInfo = 5;  // video info/command frame, carries no picture
inline constexpr int kCodecSorensonH263 = 2;
inline constexpr int kCodecScreen = 3;
inline constexpr int kCodecVp6 = 4;
inline constexpr int kCodecVp6Alpha = 5;
inline constexpr int kCodecScreen2 = 6;
inline constexpr int kCodecH264 = 7;

// AAC and H.264 packet types (first byte of the chunk).
inline constexpr uint8_t kAacSequenceHeader = 0;
inline constexpr uint8_t kAvcSequenceHeader = 0;
inline constexpr uint8_t kAvcNalu = 1;

}  // namespace morvalin::flv

namespace morvalin::mp3 {

// Frame header fields (big-endian word): sync(11) version(2) layer(2) protection(1) bitrate(4)
// sampling(2) padding(1) private(1) channel mode(2) and the rest.
inline constexpr int kVersionMpeg25 = 0;
inline constexpr int kVersionReserved = 1;
inline constexpr int kVersionMpeg2 = 2;
inline constexpr int kVersionMpeg1 = 3;
inline constexpr int kLayer3 = 1;
inline constexpr int kChannelModeMono = 3;

// Layer III bitrates in kbit/s by bitrate index: MPEG-1, and MPEG-2/2.5 (lower sampling frequencies).
inline constexpr std::array<int, 16> kBitratesMpeg1 = {0,   32,  40,  48,  56,  64,  80,  96,
                                                       112, 128, 160, 192, 224, 256, 320, 0};
inline constexpr std::array<int, 16> kBitratesMpeg2 = {0,  8,  16, 24,  32,  40,  48,  56,
                                                       64, 80, 96, 112, 128, 144, 160, 0};
// Sampling rates in Hz by sampling index, for MPEG-1, MPEG-2 and MPEG-2.5.
inline constexpr std::array<int, 3> kSampleRatesMpeg1 = {44100, 48000, 32000};
inline constexpr std::array<int, 3> kSampleRatesMpeg2 = {22050, 24000, 16000};
inline constexpr std::array<int, 3> kSampleRatesMpeg25 = {11025, 12000, 8000};

// The Xing VBR frame: a 64 kbit/s frame holding the tag, flags, counts and table of contents.
inline constexpr uint32_t kXingTag = 0x58696E67;  // "Xing"
inline constexpr uint32_t kXingFlags = 7;         // frame count, byte count, table of contents
inline constexpr uint32_t kXingHeaderMask = 0xFFFE0DFF;
inline constexpr uint32_t kXingBitrateIndexMpeg1 = 5;  // 64 kbit/s
inline constexpr uint32_t kXingBitrateIndexMpeg2 = 8;  // 64 kbit/s
inline constexpr int kXingBitrate = 64000;
inline constexpr int kXingTocEntries = 100;

}  // namespace morvalin::mp3

namespace morvalin::aac {
inline constexpr int kAdtsHeaderSize = 7;
inline constexpr int kMaxProfile = 3;
inline constexpr int kMaxSampleRateIndex = 12;
inline constexpr int kMaxChannelConfig = 6;
inline constexpr int kMaxAdtsFrameLength = 0x1FFF;
}  // namespace morvalin::aac

namespace morvalin::ogg {
inline constexpr uint8_t kFlagContinued = 0x01;
inline constexpr uint8_t kFlagFirstPage = 0x02;
inline constexpr uint8_t kFlagLastPage = 0x04;
inline constexpr int kPageHeaderSize = 27;
inline constexpr int kMaxSegments = 255;
inline constexpr int kPageDataTarget = 4096;
// A packet must fit the lacing table of one page: 255 segments, the last one shorter than 255.
inline constexpr int kMaxPacketSize = 255 * 255 - 1;
}  // namespace morvalin::ogg

namespace morvalin::speex {
inline constexpr int kSampleRate = 16000;
inline constexpr int kFrameSamples = 320;  // 20 ms at 16 kHz
inline constexpr int kModeWideband = 1;
inline constexpr int kHeaderSize = 80;
}  // namespace morvalin::speex

namespace morvalin::avi {
// Sizes of the fixed header chunks of a single-stream video AVI file.
inline constexpr uint32_t kAvihSize = 56;
inline constexpr uint32_t kStrhSize = 56;
inline constexpr uint32_t kStrfSize = 40;  // BITMAPINFOHEADER
inline constexpr uint32_t kStrlListSize = 4 + (8 + kStrhSize) + (8 + kStrfSize);
inline constexpr uint32_t kHdrlListSize = 4 + (8 + kAvihSize) + (8 + kStrlListSize);
inline constexpr uint32_t kIndexEntrySize = 16;  // 'idx1' entry: id, flags, offset, size
inline constexpr uint32_t kKeyFrameFlag = 0x10;  // AVIIF_KEYFRAME
inline constexpr uint32_t kHasIndexFlag = 0x10;  // AVIF_HASINDEX
}  // namespace morvalin::avi

namespace morvalin::wav {
inline constexpr uint32_t kHeaderSize = 44;  // RIFF, fmt and data chunk headers of a PCM file
}  // namespace morvalin::wav
