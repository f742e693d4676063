#include "app/site_notes.h"

#include <gtest/gtest.h>

namespace morvalin {
namespace {

TEST(SiteNotes, OneLinePerSiteWithPaddedNameFormatAndExample) {
  const SiteTable& sites = DefaultSiteTable();
  struct Case {
    int index;
    const char* line;
  };
  const Case cases[] = {
      {0, "SITEA.EXAMPLE 下载格式  MP3  下载地址：播放地址  例：http://www.sitea.example/play/20160.html"},
      {1, "SITEB.EXAMPLE 下载格式  MP4  下载地址：播放地址  例：http://www.siteb.example/play/20171.html"},
      {4,
       "SITEE.EXAMPLE 下载格式  FLV  下载地址：播放地址  例：http://www.sitee.example/play/20204.html"
       " （ 自动转换到MP3格式 ）"},
      {6, "SITEG.EXAMPLE 下载格式  MP3  下载地址：播放地址  例：http://www.siteg.example/play/song_1024.html"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SiteNoteLine(sites[static_cast<std::size_t>(c.index)], c.index), c.line);
  }
}

}  // namespace
}  // namespace morvalin
