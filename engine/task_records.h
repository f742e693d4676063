#pragma once
// The two records exchanged with the engine, each laid out on its own FieldLayoutBuffer byte for byte
// as engine/record_layout.h gives it. One object of each lives for the whole run; Build lays out a fresh
// zero-filled block (the address changes with every Build). Texts are code-page-936 byte strings for
// the caller and UTF-16LE in the record; a text longer than its field is cut to the field.
//
// Accessors come in pairs named after the field: the read form returns the decoded value (0, false or
// "" when there is no block or no such field); the write form stores a value and returns whether the
// field exists.
//
// Not thread-safe: the system uses both objects from the UI thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/download_engine.h"

namespace morvalin {

class FieldLayoutBuffer;

class TaskParamBlock {
 public:
  TaskParamBlock();
  ~TaskParamBlock();
  TaskParamBlock(const TaskParamBlock&) = delete;
  TaskParamBlock& operator=(const TaskParamBlock&) = delete;

  void Destroy();
  // Returns the block address, or nullptr when no block could be made.
  void* Build(std::string_view task_url = {}, std::string_view ref_url = {}, std::string_view cookies = {},
              std::string_view file_name = {}, std::string_view save_path = {}, bool is_only_original = false,
              bool disable_auto_rename = false, bool is_resume = true);
  void Release();
  void* BlockAddress() const;

  std::string szTaskUrl() const;
  bool szTaskUrl(std::string_view value);
  std::string szRefUrl() const;
  bool szRefUrl(std::string_view value);
  std::string szCookies() const;
  bool szCookies(std::string_view value);
  std::string szFilename() const;
  bool szFilename(std::string_view value);
  std::string szSavePath() const;
  bool szSavePath(std::string_view value);
  bool IsOnlyOriginal() const;
  bool IsOnlyOriginal(bool value);
  bool DisableAutoRename() const;
  bool DisableAutoRename(bool value);
  bool IsResume() const;
  bool IsResume(bool value);

 private:
  std::unique_ptr<FieldLayoutBuffer> buffer_;
};

class TaskInfoBlock {
 public:
  TaskInfoBlock();
  ~TaskInfoBlock();
  TaskInfoBlock(const TaskInfoBlock&) = delete;
  TaskInfoBlock& operator=(const TaskInfoBlock&) = delete;

  void Destroy();
  void* Build();
  void Release();
  void* BlockAddress() const;

  std::int32_t stat() const;
  bool stat(std::int32_t value);
  std::int32_t fail_code() const;
  bool fail_code(std::int32_t value);
  std::string szFilename() const;
  bool szFilename(std::string_view value);
  std::int64_t nTotalSize() const;
  bool nTotalSize(std::int64_t value);
  std::int64_t nTotalDownload() const;
  bool nTotalDownload(std::int64_t value);
  float fPercent() const;
  bool fPercent(float value);
  std::int32_t nSrcTotal() const;
  bool nSrcTotal(std::int32_t value);
  std::int32_t nSrcUsing() const;
  bool nSrcUsing(std::int32_t value);
  std::int64_t nDonationP2P() const;
  bool nDonationP2P(std::int64_t value);
  std::int64_t nDonationOrgin() const;
  bool nDonationOrgin(std::int64_t value);
  std::int64_t nDonationP2S() const;
  bool nDonationP2S(std::int64_t value);
  std::int32_t nSpeed() const;
  bool nSpeed(std::int32_t value);
  std::int32_t nSpeedP2S() const;
  bool nSpeedP2S(std::int32_t value);
  std::int32_t nSpeedP2P() const;
  bool nSpeedP2P(std::int32_t value);
  bool bIsOriginUsable() const;
  bool bIsOriginUsable(bool value);
  std::int32_t IsCreatingFile() const;
  bool IsCreatingFile(std::int32_t value);

 private:
  std::unique_ptr<FieldLayoutBuffer> buffer_;
};

// Text in `code_page` to UTF-16LE bytes with a terminating zero unit; an empty text gives empty bytes.
std::string AnsiToUtf16(std::string_view text, int code_page);
// UTF-16LE units up to the first zero unit, as text in `code_page`.
std::string Utf16ToAnsi(std::string_view bytes, int code_page);
std::string GbkToUtf16(std::string_view text);

// Asks the engine to delete the temporary files of `file_name` in `directory` (both code page 936),
// through a 26564-byte TaskParamBlock image; returns the engine's result.
std::int32_t DeleteEngineTempFile(DownloadEngine& engine, std::string_view directory,
                                  std::string_view file_name);

}  // namespace morvalin
