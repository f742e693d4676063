#include "engine/task_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine_calls.h"
#include "engine/fake_engine.h"
#include "platform/code_page.h"

namespace morvalin {
namespace {

using test::FakeEngine;

std::string Bytes(const void* block, std::size_t from, std::size_t count) {
  return std::string(static_cast<const char*>(block) + from, count);
}

// The value as the field holds it: `content` followed by zeros up to the width.
std::string Padded(std::string content, std::size_t width) {
  content.resize(width, '\0');
  return content;
}

std::string U16(const char* utf8) { return GbkToUtf16(Gbk(utf8)); }

struct LaidOutField {
  const char* name;
  std::size_t offset;
  std::size_t width;
  std::string initial;  // leading bytes; the rest of the field is zero
};

// Checks the block's bytes field by field against a table that tiles it.
void ExpectLaidOut(const void* block, const std::vector<LaidOutField>& table) {
  std::size_t next = 0;
  for (const LaidOutField& field : table) {
    SCOPED_TRACE(field.name);
    EXPECT_EQ(field.offset, next) << "the fields tile the block";
    EXPECT_EQ(Bytes(block, field.offset, field.width), Padded(field.initial, field.width));
    next = field.offset + field.width;
  }
}

// The record as the engine reads it, for the call the system makes: URL, file name and directory given,
// referrer and cookies left out, DisableAutoRename and IsResume true.
TEST(TaskParamBlockTest, LaysOutEveryFieldAtItsOffset) {
  TaskParamBlock params;
  void* block = params.Build("http://m.example/a.mp3", {}, {}, "a.mp3", "/home/dj/", false, true, true);
  ASSERT_NE(block, nullptr);
  const std::vector<LaidOutField> table = {
      {"nReserved", 0, 4, ""},
      {"szTaskUrl", 4, 4168, U16("http://m.example/a.mp3")},
      {"szRefUrl", 4172, 4168, ""},
      {"szCookies", 8340, 8192, ""},
      {"szFilename", 16532, 520, U16("a.mp3")},
      {"szReserved0", 17052, 520, ""},
      {"szSavePath", 17572, 520, U16("/home/dj/")},
      {"hReserved", 18092, 4, ""},
      {"bReserved", 18096, 4, ""},
      {"szReserved1", 18100, 128, ""},
      {"szReserved2", 18228, 128, ""},
      {"IsOnlyOriginal", 18356, 4, ""},
      {"nReserved1", 18360, 4, "\x05"},
      {"DisableAutoRename", 18364, 4, "\x01"},
      {"IsResume", 18368, 4, "\x01"},
      {"reserved", 18372, 8192, ""},
      {"(after the layout)", 26564, 27000 - 26564, ""},
  };
  ExpectLaidOut(block, table);
  EXPECT_EQ(U16("a.mp3"), std::string("a\0.\0m\0p\0"
                                      "3\0\0\0",
                                      12));
}

TEST(TaskParamBlockTest, BuildArgumentsLeftOutAndTheirFlags) {
  TaskParamBlock params;
  void* block = params.Build();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(Bytes(block, 18356, 16), std::string("\0\0\0\0\x05\0\0\0\0\0\0\0\x01\0\0\0", 16))
      << "IsOnlyOriginal and DisableAutoRename false, IsResume true";
  EXPECT_EQ(Bytes(block, 4, 4168), std::string(4168, '\0')) << "an empty URL leaves the field all zero";

  block = params.Build("u", "r", "c", "f", "d", true, false, false);
  EXPECT_EQ(Bytes(block, 18356, 16), std::string("\x01\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(params.szRefUrl(), "r");
  EXPECT_EQ(params.szCookies(), "c");
  EXPECT_TRUE(params.IsOnlyOriginal());
  EXPECT_FALSE(params.DisableAutoRename());
  EXPECT_FALSE(params.IsResume());
}

TEST(TaskParamBlockTest, BuildTwiceGivesTheSameBytesInAFreshBlock) {
  TaskParamBlock params;
  const std::string url = Gbk("http://m.example/舞曲.mp3");
  void* first = params.Build(url, {}, {}, Gbk("舞曲.mp3"), "/d/", false, true, true);
  ASSERT_NE(first, nullptr);
  const std::string first_bytes = Bytes(first, 0, 27000);
  // Disturb the block, so that a rebuild which kept it would show.
  ASSERT_TRUE(params.szSavePath("/elsewhere/"));
  void* second = params.Build(url, {}, {}, Gbk("舞曲.mp3"), "/d/", false, true, true);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(params.BlockAddress(), second);
  EXPECT_EQ(Bytes(second, 0, 27000), first_bytes);
  EXPECT_EQ(params.szTaskUrl(), url);
}

// Texts longer than their field are cut to it: the field is full and has no terminating zero unit,
// and the next field is untouched.
TEST(TaskParamBlockTest, LongTextsFillTheirFieldWithoutATerminator) {
  struct Case {
    const char* what;
    std::string file_name;
    std::string expected_read;
  };
  const Case cases[] = {
      {"259 characters: the terminator still fits", std::string(259, 'a'), std::string(259, 'a')},
      {"260 characters", std::string(260, 'b'), std::string(260, 'b')},
      {"300 characters", std::string(300, 'c'), std::string(260, 'c')},
      {"300 double-byte characters",
       [] {
         std::string s;
         for (int i = 0; i < 300; ++i) s += Gbk("舞");
         return s;
       }(),
       [] {
         std::string s;
         for (int i = 0; i < 260; ++i) s += Gbk("舞");
         return s;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TaskParamBlock params;
    void* block = params.Build("u", {}, {}, c.file_name, "/d/");
    ASSERT_NE(block, nullptr);
    const std::string field = Bytes(block, 16532, 520);
    EXPECT_EQ(field, GbkToUtf16(c.expected_read).substr(0, 520));
    if (c.file_name.size() >= 260) {
      EXPECT_NE(field.substr(518), std::string(2, '\0')) << "no terminating zero unit";
    }
    EXPECT_EQ(Bytes(block, 17052, 520), std::string(520, '\0')) << "szReserved0 untouched";
    EXPECT_EQ(params.szFilename(), c.expected_read);
  }
}

TEST(TaskInfoBlockTest, LaysOutEveryFieldAtItsOffset) {
  TaskInfoBlock info;
  void* block = info.Build();
  ASSERT_NE(block, nullptr);
  const std::vector<LaidOutField> table = {
      {"stat", 0, 4, "\x02"},
      {"fail_code", 4, 4, ""},
      {"szFilename", 8, 520, ""},
      {"szReserved0", 528, 520, ""},
      {"nTotalSize", 1048, 8, ""},
      {"nTotalDownload", 1056, 8, ""},
      {"fPercent", 1064, 4, ""},
      {"nReserved0", 1068, 4, ""},
      {"nSrcTotal", 1072, 4, ""},
      {"nSrcUsing", 1076, 4, ""},
      {"nReserved1", 1080, 4, ""},
      {"nReserved2", 1084, 4, ""},
      {"nReserved3", 1088, 4, ""},
      {"nReserved4", 1092, 4, ""},
      {"nReserved5", 1096, 8, ""},
      {"nDonationP2P", 1104, 8, ""},
      {"nReserved6", 1112, 8, ""},
      {"nDonationOrgin", 1120, 8, ""},
      {"nDonationP2S", 1128, 8, ""},
      {"nReserved7", 1136, 8, ""},
      {"nReserved8", 1144, 8, ""},
      {"nSpeed", 1152, 4, ""},
      {"nSpeedP2S", 1156, 4, ""},
      {"nSpeedP2P", 1160, 4, ""},
      {"bIsOriginUsable", 1164, 1, ""},
      {"fHashPercent", 1165, 4, ""},
      {"IsCreatingFile", 1169, 4, ""},
      {"reserved", 1173, 256, ""},
      {"(after the layout)", 1429, 1500 - 1429, ""},
  };
  ExpectLaidOut(block, table);
  // Before any query: paused, every number 0, no file name.
  EXPECT_EQ(info.stat(), 2);
  EXPECT_EQ(info.szFilename(), "");
  EXPECT_EQ(info.nTotalSize(), 0);
  EXPECT_EQ(info.nTotalDownload(), 0);
  EXPECT_EQ(info.fPercent(), 0.0f);
  EXPECT_EQ(info.nSpeed(), 0);
}

// Each accessor's write form puts the value's wire bytes at the field's offset, and the read form
// gives the value back.
TEST(TaskInfoBlockTest, AccessorsEncodeAtTheFieldOffsets) {
  struct Case {
    const char* name;
    std::size_t offset;
    std::string bytes;  // what the write leaves at the offset
    std::function<bool(TaskInfoBlock&)> write;
    std::function<bool(const TaskInfoBlock&)> read_back;
  };
  const std::vector<Case> cases = {
      {"stat", 0, std::string("\x04\0\0\0", 4), [](TaskInfoBlock& b) { return b.stat(4); },
       [](const TaskInfoBlock& b) { return b.stat() == 4; }},
      {"fail_code", 4, "\xFF\xFF\xFF\xFF", [](TaskInfoBlock& b) { return b.fail_code(-1); },
       [](const TaskInfoBlock& b) { return b.fail_code() == -1; }},
      {"szFilename", 8, U16("曲.mp3"), [](TaskInfoBlock& b) { return b.szFilename(Gbk("曲.mp3")); },
       [](const TaskInfoBlock& b) { return b.szFilename() == Gbk("曲.mp3"); }},
      {"nTotalSize", 1048, std::string("\x00\x00\x00\x00\x01\x00\x00\x00", 8),
       [](TaskInfoBlock& b) { return b.nTotalSize(std::int64_t{1} << 32); },
       [](const TaskInfoBlock& b) { return b.nTotalSize() == std::int64_t{1} << 32; }},
      {"nTotalDownload", 1056, std::string("\x01\x02\0\0\0\0\0\0", 8),
       [](TaskInfoBlock& b) { return b.nTotalDownload(0x0201); },
       [](const TaskInfoBlock& b) { return b.nTotalDownload() == 0x0201; }},
      {"fPercent", 1064, std::string("\0\0\0\x3F", 4), [](TaskInfoBlock& b) { return b.fPercent(0.5f); },
       [](const TaskInfoBlock& b) { return b.fPercent() == 0.5f; }},
      {"nSrcTotal", 1072, std::string("\x03\0\0\0", 4), [](TaskInfoBlock& b) { return b.nSrcTotal(3); },
       [](const TaskInfoBlock& b) { return b.nSrcTotal() == 3; }},
      {"nSrcUsing", 1076, std::string("\x02\0\0\0", 4), [](TaskInfoBlock& b) { return b.nSrcUsing(2); },
       [](const TaskInfoBlock& b) { return b.nSrcUsing() == 2; }},
      {"nDonationP2P", 1104, std::string("\x07\0\0\0\0\0\0\0", 8),
       [](TaskInfoBlock& b) { return b.nDonationP2P(7); },
       [](const TaskInfoBlock& b) { return b.nDonationP2P() == 7; }},
      {"nDonationOrgin", 1120, std::string("\x08\0\0\0\0\0\0\0", 8),
       [](TaskInfoBlock& b) { return b.nDonationOrgin(8); },
       [](const TaskInfoBlock& b) { return b.nDonationOrgin() == 8; }},
      {"nDonationP2S", 1128, std::string("\x09\0\0\0\0\0\0\0", 8),
       [](TaskInfoBlock& b) { return b.nDonationP2S(9); },
       [](const TaskInfoBlock& b) { return b.nDonationP2S() == 9; }},
      {"nSpeed", 1152, std::string("\x00\x04\0\0", 4), [](TaskInfoBlock& b) { return b.nSpeed(1024); },
       [](const TaskInfoBlock& b) { return b.nSpeed() == 1024; }},
      {"nSpeedP2S", 1156, std::string("\x05\0\0\0", 4), [](TaskInfoBlock& b) { return b.nSpeedP2S(5); },
       [](const TaskInfoBlock& b) { return b.nSpeedP2S() == 5; }},
      {"nSpeedP2P", 1160, std::string("\x06\0\0\0", 4), [](TaskInfoBlock& b) { return b.nSpeedP2P(6); },
       [](const TaskInfoBlock& b) { return b.nSpeedP2P() == 6; }},
      {"bIsOriginUsable", 1164, "\x01", [](TaskInfoBlock& b) { return b.bIsOriginUsable(true); },
       [](const TaskInfoBlock& b) { return b.bIsOriginUsable(); }},
      {"IsCreatingFile", 1169, std::string("\x01\0\0\0", 4),
       [](TaskInfoBlock& b) { return b.IsCreatingFile(1); },
       [](const TaskInfoBlock& b) { return b.IsCreatingFile() == 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TaskInfoBlock info;
    void* block = info.Build();
    ASSERT_NE(block, nullptr);
    std::string expected = Bytes(block, 0, 1500);
    expected.replace(c.offset, c.bytes.size(), c.bytes);
    ASSERT_TRUE(c.write(info));
    EXPECT_EQ(Bytes(block, 0, 1500), expected) << "only the field's own bytes change";
    EXPECT_TRUE(c.read_back(info));
  }
}

// Values the engine writes are read back as the engine meant them, including odd offsets and bytes
// that the write forms would never leave.
TEST(TaskInfoBlockTest, ReadsDecodeWhatTheEngineWrote) {
  TaskInfoBlock info;
  auto* block = static_cast<unsigned char*>(info.Build());
  ASSERT_NE(block, nullptr);
  const unsigned char size[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  std::memcpy(block + 1048, size, 8);
  block[1164] = 0x80;  // any non-zero byte is true
  const unsigned char creating[4] = {0x00, 0x00, 0x00, 0x80};
  std::memcpy(block + 1169, creating, 4);
  // A file name that fills its field: read up to the end of the field and no further.
  for (int i = 0; i < 520; i += 2) {
    block[8 + i] = 'z';
    block[8 + i + 1] = 0;
  }
  block[528] = 'X';  // szReserved0, right after it
  EXPECT_EQ(info.nTotalSize(), INT64_MAX);
  EXPECT_TRUE(info.bIsOriginUsable());
  EXPECT_EQ(info.IsCreatingFile(), INT32_MIN);
  EXPECT_EQ(info.szFilename(), std::string(260, 'z'));
}

TEST(TaskRecordsTest, TextWritesReplaceTheWholeField) {
  TaskParamBlock params;
  ASSERT_NE(params.Build("http://m.example/long-name.mp3"), nullptr);
  EXPECT_TRUE(params.szTaskUrl("x"));
  EXPECT_EQ(params.szTaskUrl(), "x");
  EXPECT_TRUE(params.szTaskUrl(""));
  EXPECT_EQ(params.szTaskUrl(), "");
  EXPECT_EQ(Bytes(params.BlockAddress(), 4, 4168), std::string(4168, '\0'));
  // A boolean written false reads false whatever the field held.
  std::memset(static_cast<char*>(params.BlockAddress()) + 18368, 0x01, 4);
  EXPECT_TRUE(params.IsResume(false));
  EXPECT_FALSE(params.IsResume());
}

TEST(TaskRecordsTest, WithoutABlockReadsAreEmptyAndWritesRefused) {
  TaskParamBlock params;
  TaskInfoBlock info;
  const auto check_empty = [&] {
    EXPECT_EQ(params.BlockAddress(), nullptr);
    EXPECT_EQ(info.BlockAddress(), nullptr);
    EXPECT_EQ(params.szTaskUrl(), "");
    EXPECT_FALSE(params.IsResume());
    EXPECT_FALSE(params.szFilename("a"));
    EXPECT_FALSE(params.IsResume(true));
    EXPECT_EQ(info.stat(), 0);
    EXPECT_EQ(info.nTotalSize(), 0);
    EXPECT_EQ(info.fPercent(), 0.0f);
    EXPECT_EQ(info.szFilename(), "");
    EXPECT_FALSE(info.stat(4));
  };
  {
    SCOPED_TRACE("before the first Build");
    check_empty();
  }
  ASSERT_NE(params.Build("u", {}, {}, "f", "d"), nullptr);
  ASSERT_NE(info.Build(), nullptr);
  params.Release();
  info.Release();
  {
    SCOPED_TRACE("after Release");
    check_empty();
  }
  params.Destroy();
  info.Destroy();
  {
    SCOPED_TRACE("after Destroy");
    check_empty();
  }
}

TEST(TaskRecordsTest, CodePageConversions) {
  struct Case {
    const char* what;
    std::string text;  // code page 936
    std::string utf16;
  };
  const Case cases[] = {
      {"empty: no terminator", "", ""},
      {"ASCII", "ab", std::string("a\0b\0\0\0", 6)},
      {"double-byte", Gbk("舞曲"), std::string("\x1E\x82\xF2\x66\0\0", 6)},
      {"ends at its first zero byte", std::string("a\0b", 3), std::string("a\0\0\0", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(GbkToUtf16(c.text), c.utf16);
    EXPECT_EQ(AnsiToUtf16(c.text, kCodePageGbk), c.utf16);
    EXPECT_EQ(Utf16ToAnsi(c.utf16, kCodePageGbk), c.text.substr(0, c.text.find('\0')));
  }
  // Reading stops at the first zero unit, and at the end of the bytes even without one.
  EXPECT_EQ(Utf16ToAnsi(std::string("a\0b\0\0\0c\0", 8), kCodePageGbk), "ab");
  EXPECT_EQ(Utf16ToAnsi(std::string("a\0b", 3), kCodePageGbk), "a");
  EXPECT_EQ(Utf16ToAnsi(std::string("\0\0a\0", 4), kCodePageGbk), "");
}

// A stand-in that keeps the image XL_DelTempFile was given.
class ImageEngine : public FakeEngine {
 public:
  std::int32_t XL_DelTempFile(const void* image) override {
    image_ = Bytes(image, 0, 26564);
    return 42;
  }
  std::string image_;
};

TEST(DeleteEngineTempFileTest, MakesTheImageWithTextsCutToTheirFields) {
  struct Case {
    const char* what;
    std::string directory;
    std::string file_name;
  };
  std::string long_name;
  for (int i = 0; i < 300; ++i) long_name += Gbk("曲");
  const Case cases[] = {
      {"ordinary", Gbk("/home/dj/DJ舞曲/"), Gbk("舞曲.mp3")},
      {"empty name", "/home/dj/", ""},
      {"empty directory", "", "a.mp3"},
      {"name and directory longer than their fields", std::string("/") + std::string(400, 'd'), long_name},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageEngine engine;
    EXPECT_EQ(DeleteEngineTempFile(engine, c.directory, c.file_name), 42);
    const std::string& image = engine.image_;
    ASSERT_EQ(image.size(), 26564u);
    std::string expected(26564, '\0');
    expected[18360] = 5;
    expected[18372] = 1;
    expected.replace(16532, 520, Padded(GbkToUtf16(c.file_name), 520).substr(0, 520));
    expected.replace(17572, 520, Padded(GbkToUtf16(c.directory), 520).substr(0, 520));
    EXPECT_EQ(image, expected);
    EXPECT_EQ(Bytes(image.data(), 18360, 4), std::string("\x05\0\0\0", 4));
    EXPECT_EQ(Bytes(image.data(), 18368, 4), std::string(4, '\0'));
    EXPECT_EQ(Bytes(image.data(), 18372, 4), std::string("\x01\0\0\0", 4));
  }
}

TEST(EngineCallsTest, TheEngineNeverReceivesANullRecord) {
  FakeEngine engine;
  TaskParamBlock params;
  TaskInfoBlock info;
  EXPECT_EQ(CreateEngineTask(engine, params), 0u);
  EXPECT_EQ(QueryEngineTask(engine, 1, info), 0);
  EXPECT_TRUE(engine.Calls().empty());

  params.Build("http://m.example/a.mp3", {}, {}, "a.mp3", "/d/");
  info.Build();
  const TaskHandle handle = CreateEngineTask(engine, params);
  EXPECT_EQ(handle, 1u);
  EXPECT_EQ(QueryEngineTask(engine, handle, info), 1);
  EXPECT_EQ(info.szFilename(), "a.mp3");
  EXPECT_EQ(engine.NullBlocks(), 0);
}

}  // namespace
}  // namespace morvalin
