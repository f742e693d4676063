#include "resolve/resolvers.h"

#include <array>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "resolve/script_unescape.h"
#include "web/http_request.h"
#include "web/text_ops.h"

namespace morvalin {
namespace {

using Item = std::optional<std::string>;
using Resolver = Item (*)(const std::string& line, const Site& site);

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (std::string_view piece : pieces) out += piece;
  return out;
}

// A page of the site as text in code page 936.
std::string SitePage(const Site& site, const std::string& address) {
  std::string page = FetchPageText(address);
  return site.utf8_page ? Utf8ToGbk(page) : page;
}

// The file name's and source label's end of every item: "|" title + extension "|" host key.
std::string NameAndKey(const Site& site, std::string_view title) {
  return Join({"|", title, site.extension, "|", site.host_key});
}

// SiteA and SiteB list the track as one text, "title<separator>media path", between two markers.
struct ListedTrack {
  std::string_view left, right;
  std::string_view separator;  // matched whatever its letter case
  std::string_view media_dir, media_extension;
};

// A text that splits into fewer than two parts (markers missing, fetch failed) yields no item.
Item ResolveListedTrack(const std::string& page, const Site& site, const ListedTrack& form) {
  const std::string listed = TextBetween(page, form.left, form.right);
  const std::vector<std::string> parts =
      Split(ReplaceAll(listed, form.separator, "|", /*ignore_case=*/true), "|");
  if (parts.size() < 2) return std::nullopt;
  const std::string& title = parts[0];
  const std::string& media_path = parts[1];
  return Join({"http://", site.media_host, form.media_dir, media_path, form.media_extension,
               NameAndKey(site, title)});
}

// List-script pages offering an ".m4a"; the item asks for the MP3 version.
Item ResolveSiteA(const std::string& line, const Site& site) {
  static constexpr ListedTrack kForm{"var list=[{title:\"", ".m4a\"}];", "\",artist:\"-\",m4a: s_str+\"",
                                     "/mp3", ".mp3"};
  return ResolveListedTrack(SitePage(site, line), site, kForm);
}

Item ResolveSiteB(const std::string& line, const Site& site) {
  static constexpr ListedTrack kForm{"name: '", "', good", "', file: '", "/djmusic/", ".mp4"};
  return ResolveListedTrack(SitePage(site, line), site, kForm);
}

// The media server listens on port 88; the path keeps its own extension.
Item ResolveSiteC(const std::string& line, const Site& site) {
  const std::string page = SitePage(site, line);
  const std::string path = TextBetween(page, "player(\"", "\");get");
  const std::string title = TextBetween(page, "html', '", "' ,'");
  return Join({"http://", site.media_host, ":88/", path, NameAndKey(site, title)});
}

// The page gives the whole media URL.
Item ResolveSiteD(const std::string& line, const Site& site) {
  const std::string page = SitePage(site, line);
  const std::string url = TextBetween(page, "var url = \"", "\";");
  const std::string title = TextBetween(page, "<div class=\"tie\"><h2>", "</h2></div>");
  return Join({url, NameAndKey(site, title)});
}

// Flash video: the configuration script names the stream host, the play page the file, and the
// stream host's VW script the session id the stream server asks for.
Item ResolveSiteE(const std::string& line, const Site& site) {
  const std::string script = SitePage(site, "http://" + site.image_host + "/i/c.php");
  const std::string stream_host = TextBetween(script, "var ikdj=\"", "\";") + "/";
  const std::string stream_prefix = TextBetween(script, "var ik123=\"", "\"; var ikdj");
  const std::string page = SitePage(site, line);
  const std::string file_path = TextBetween(page, ";var furl=\"", ".flv\";");
  const std::string vw_script = SitePage(site, "http://" + stream_host + "_sys_vw.vhtml?js=yes");
  const std::string vsid = TextBetween(vw_script, "VW_VSID=\"", "\";");
  const std::string title =
      TextBetween(page, "</TITLE><meta name=\"keywords\" content=\"", "\" /><meta name=\"description");
  return Join({"http://", stream_host, stream_prefix, file_path, ".ik?vsid=", vsid, "&name=",
               site.web_host, NameAndKey(site, title)});
}

// The media server listens on port 8181 and serves ".mp3" where the page says ".m4a". The path's
// right marker ends with a carriage return, so a page with bare line feeds gives an empty path.
Item ResolveSiteF(const std::string& line, const Site& site) {
  const std::string page = SitePage(site, line);
  const std::string path = TextBetween(page, "var righturl=\"", "m4a\";\r");
  const std::string title = TextBetween(page, "var list=[{title:\"", "\",artist:");
  return Join({"http://", site.media_host, ":8181/", path, "mp3", NameAndKey(site, title)});
}

// The song is asked for through the playlist script, by the id after the first "_" of the line; the
// reply carries its texts escaped.
Item ResolveSiteG(const std::string& line, const Site& site) {
  const std::string song_id = TextBetween(line, "_", ".html");
  const std::string reply = ScriptUnescape(
      SitePage(site, "http://" + site.web_host + "/uc.php?m=uc&a=playlistadd&songid=" + song_id));
  const std::string path = TextBetween(reply, "Dj_Url\":\"", "m4a\"");
  const std::string title = TextBetween(reply, "\"songname\":\"", "\",\"Dj_Url");
  return Join({"http://", site.media_host, "/dj5202014", path, "mp3", NameAndKey(site, title)});
}

// The play page links a download page on the web host, which gives the media URL and the title.
Item ResolveSiteH(const std::string& line, const Site& site) {
  const std::string page = SitePage(site, line);
  const std::string link = TextBetween(
      page, "<li class=\"down\"><a href=\"javascript:;\" onClick=\"window.open('", "');\">");
  const std::string download_page = SitePage(site, "http://" + site.web_host + link);
  const std::string url = TextBetween(download_page, "var url = \"", "\";");
  const std::string title = TextBetween(download_page, "var djname = \"", "\";");
  return Join({url, NameAndKey(site, title)});
}

// In site order, matching SiteTable.
constexpr std::array<Resolver, 8> kResolvers = {ResolveSiteA, ResolveSiteB, ResolveSiteC, ResolveSiteD,
                                                ResolveSiteE, ResolveSiteF, ResolveSiteG, ResolveSiteH};

}  // namespace

std::string FetchPageText(const std::string& address) {
  std::string body = HttpRequest(address);
  const std::size_t zero = body.find('\0');
  if (zero != std::string::npos) body.resize(zero);
  return body;
}

void ResolveLine(const std::string& line, const SiteTable& sites,
                 const std::function<void(const std::string& item)>& append) {
  for (std::size_t i = 0; i < sites.size(); ++i) {
    const Site& site = sites[i];
    // An empty key would match every line; such a site is not configured.
    if (site.host_key.empty() || Find(line, site.host_key) < 1) continue;
    Item item;
    try {
      item = kResolvers[i](line, site);
    } catch (const std::exception&) {
      // Out of memory on a monstrous page: the line yields nothing for this site.
      item.reset();
    }
    if (item) append(*item);
  }
}

}  // namespace morvalin
