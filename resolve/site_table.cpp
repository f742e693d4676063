#include "resolve/site_table.h"

namespace morvalin {

const SiteTable& DefaultSiteTable() {
  // name, host key, media host, web host, image host, extension, page in UTF-8
  static const SiteTable kSites = {{
      {"SiteA", "sitea.example", "media.sitea.example", "", "", ".mp3", false},
      {"SiteB", "siteb.example", "media.siteb.example", "", "", ".mp4", true},
      {"SiteC", "sitec.example", "media.sitec.example", "", "", ".mp3", false},
      {"SiteD", "sited.example", "", "", "", ".mp3", true},
      {"SiteE", "sitee.example", "", "www.sitee.example", "img.sitee.example", ".flv", false},
      {"SiteF", "sitef.example", "media.sitef.example", "", "", ".mp3", false},
      {"SiteG", "siteg.example", "media.siteg.example", "www.siteg.example", "", ".mp3", false},
      {"SiteH", "siteh.example", "", "www.siteh.example", "", ".mp3", false},
  }};
  return kSites;
}

}  // namespace morvalin
