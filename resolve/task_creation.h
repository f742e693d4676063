#pragma once
// Task creation: one resolved item becomes a running download with its row in the download list and
// its record in 下载记录. The new task takes the last place of the handles, the rows and the records.
// UI thread only (the batch worker reaches it through a blocking queued call).
#include <string>

namespace morvalin {

class TaskTable;

// The three fields of a ResolvedItem "media url|file name|host key" (code page 936). The item is split
// at every "|"; pieces beyond the third are ignored and missing ones are empty, so a title holding "|"
// shortens the file name and its next piece becomes the host key.
struct ResolvedItemFields {
  std::string media_url;
  std::string file_name;
  std::string host_key;
};
ResolvedItemFields SplitResolvedItem(const std::string& item);

// AppendTask with the media URL, the file name and the directory, exactly as given; then, only when
// 记录集1 adds a record, writes 文件完整地址, 下载文件名, 下载路径 and 歌曲来源 into it and renumbers the
// records (which also saves the new one). Without an open store the task still runs and is listed.
void CreateResolvedTask(TaskTable& table, const std::string& media_url, const std::string& file_name,
                        const std::string& directory, const std::string& host_key);

}  // namespace morvalin
