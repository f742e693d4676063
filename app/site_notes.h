#pragma once
// The lines of the site-notes tab, one per site in site order.
#include <string>

#include "resolve/site_table.h"

namespace morvalin {

// An example play-page address of the site at `index` (0 for SiteA): "http://www.<host key>/play/"
// followed by a number and ".html"; SiteG's carries the song id after "song_".
std::string ExamplePlayPage(const Site& site, int index);

// The site's name in capitals padded with blanks to 14 characters, "下载格式  ", the format, "  下载地址：
// 播放地址  例：" and the example address; a Flash-video site adds " （ 自动转换到MP3格式 ）". UTF-8.
std::string SiteNoteLine(const Site& site, int index);

}  // namespace morvalin
