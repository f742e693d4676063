#include "tasks/flv_conversion.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "platform/code_page.h"
#include "platform/file_ops.h"
#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

// A stand-in converter: a shell script that records its arguments beside the input, then behaves as
// `body` says ($3 is the input path, $mp3 the output the real converter would write).
std::string WriteConverter(const std::filesystem::path& directory, const std::string& body) {
  const std::string path = (directory / "converter.sh").string();
  WriteWholeFile(path,
                 "#!/bin/sh\n"
                 "printf '%s\\n' \"$#\" \"$1\" \"$2\" \"$3\" > \"$(dirname \"$3\")/args.txt\"\n"
                 "mp3=\"${3%.*}.mp3\"\n" +
                     body + "\n");
  SetOwnerOnlyExecutable(path);
  return path;
}

struct ConversionCase {
  const char* name;
  const char* body;
  bool flv_deleted;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, FlvIsDeletedOnlyAfterASuccessfulConversion) {
  EnsureCoreApplication();
  ScratchDirectory scratch;
  const std::filesystem::path music = scratch.Path() / "DJ 舞曲 $(touch x); 'a'";
  std::filesystem::create_directories(music);
  const std::string flv = (music / "my song.flv").string();
  ASSERT_TRUE(WriteWholeFile(flv, "FLV data"));

  ProcessFlvConverter converter(WriteConverter(scratch.Path(), GetParam().body));
  converter.ConvertFlvDownload(Utf8ToGbk(flv));
  ASSERT_TRUE(converter.WaitForAll(60000));
  EXPECT_EQ(!FileExists(flv), GetParam().flv_deleted);
  // The path arrived whole, as one argument after the two switches.
  EXPECT_EQ(ReadWholeFile((music / "args.txt").string()), "3\n-a\n-o\n" + flv + "\n");
  EXPECT_FALSE(FileExists((scratch.Path() / "x").string()));
}

INSTANTIATE_TEST_SUITE_P(
    ConverterOutcomes, ConversionTest,
    ::testing::Values(ConversionCase{"Success", "printf mp3 > \"$mp3\"; exit 0", true},
                      ConversionCase{"FailureWithOutput", "printf mp3 > \"$mp3\"; exit 1", false},
                      ConversionCase{"SuccessWithoutOutput", "exit 0", false},
                      ConversionCase{"Killed", "printf mp3 > \"$mp3\"; kill -9 $$", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Conversion, ConversionRunningAtTheEndIsAllowedToFinish) {
  EnsureCoreApplication();
  ScratchDirectory scratch;
  const std::string flv = (scratch.Path() / "late.flv").string();
  ASSERT_TRUE(WriteWholeFile(flv, "FLV data"));
  {
    ProcessFlvConverter converter(WriteConverter(scratch.Path(), "sleep 0.3; printf mp3 > \"$mp3\"; exit 0"));
    converter.ConvertFlvDownload(flv);
  }
  EXPECT_EQ(ReadWholeFile((scratch.Path() / "late.mp3").string()), "mp3");
  EXPECT_FALSE(FileExists(flv));
}

TEST(Conversion, MissingConverterKeepsTheFlvAndEndsTheWait) {
  EnsureCoreApplication();
  ScratchDirectory scratch;
  const std::string flv = (scratch.Path() / "a.flv").string();
  ASSERT_TRUE(WriteWholeFile(flv, "FLV data"));
  ProcessFlvConverter converter((scratch.Path() / "no-such-converter").string());
  converter.ConvertFlvDownload(flv);
  EXPECT_TRUE(converter.WaitForAll(60000));
  EXPECT_TRUE(FileExists(flv));
}

TEST(Conversion, EmptyPathStartsNothing) {
  ProcessFlvConverter converter("/bin/false");
  converter.ConvertFlvDownload("");
  EXPECT_EQ(converter.Running(), 0);
}

TEST(Conversion, Mp3PathReplacesTheLastExtension) {
  EXPECT_EQ(Mp3PathBeside("/a b/song.flv"), "/a b/song.mp3");
  EXPECT_EQ(Mp3PathBeside("/a.b/mix.flv.flv"), "/a.b/mix.flv.mp3");
  EXPECT_EQ(Mp3PathBeside("/music/noext"), "/music/noext.mp3");
}

}  // namespace
}  // namespace morvalin::test
