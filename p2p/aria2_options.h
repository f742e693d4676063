#pragma once
// The options the engine hands aria2: once for the session, and per download.
#include <aria2/aria2.h>

#include <string>

#include "p2p/record_io.h"

namespace morvalin::p2p {

// Session options: no configuration files of the user, no console output, plain HTTP/FTP downloads
// only (a reply that is a torrent or metalink is saved as a file, never followed), several connections
// per server, retries and time-outs, and control files saved every few seconds.
aria2::KeyVals SessionOptions();

// Options of one download. `safe_name` is the file name already made safe (empty: aria2 takes the name
// from the URL).
aria2::KeyVals DownloadOptions(const TaskParams& params, const std::string& safe_name);

// Only http, https and ftp addresses are downloaded; anything else (an empty text, a local path, a
// magnet link) fails the task.
bool IsSupportedUrl(const std::string& url);

}  // namespace morvalin::p2p
