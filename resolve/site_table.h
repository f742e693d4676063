#pragma once
// The constants of the eight supported music sites, as one table handed to the resolvers.
//
// The default table holds invented names under the reserved ".example" domain. Tests build their own
// table that points the hosts at a local fixture server: a host may carry a port ("127.0.0.1:8080"),
// since every address is written as "http://" + host + path.
#include <array>
#include <string>

namespace morvalin {

struct Site {
  std::string name;      // "SiteA" .. "SiteH"
  std::string host_key;  // the domain the site's play-page addresses contain, e.g. "sitea.example"
  std::string media_host, web_host, image_host;  // "" where the site has none
  std::string extension;  // of the saved file: ".mp3", ".mp4", ".flv"
  bool utf8_page;         // the site serves its pages in UTF-8; they are recoded to code page 936
};

// In site order, SiteA..SiteH: the order in which a line is tested against the sites.
using SiteTable = std::array<Site, 8>;

const SiteTable& DefaultSiteTable();

}  // namespace morvalin
