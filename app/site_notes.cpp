#include "app/site_notes.h"

#include <cctype>

namespace morvalin {

namespace {
constexpr int kSiteG = 6;
constexpr std::size_t kNameWidth = 14;
}  // namespace

std::string ExamplePlayPage(const Site& site, int index) {
  const std::string base = "http://www." + site.host_key + "/play/";
  if (index == kSiteG) return base + "song_1024.html";
  return base + std::to_string(20160 + 11 * index) + ".html";
}

std::string SiteNoteLine(const Site& site, int index) {
  std::string name;
  for (char c : site.host_key) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.size() < kNameWidth) name.append(kNameWidth - name.size(), ' ');
  std::string format;
  for (char c : site.extension) {
    if (c != '.') format += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  std::string line =
      name + "下载格式  " + format + "  下载地址：播放地址  例：" + ExamplePlayPage(site, index);
  if (format == "FLV") line += " （ 自动转换到MP3格式 ）";
  return line;
}

}  // namespace morvalin
