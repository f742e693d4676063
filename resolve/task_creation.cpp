#include "resolve/task_creation.h"

#include <vector>

#include "store/task_store.h"
#include "tasks/task_table.h"
#include "web/text_ops.h"

namespace morvalin {

ResolvedItemFields SplitResolvedItem(const std::string& item) {
  const std::vector<std::string> parts = Split(item, "|");
  ResolvedItemFields fields;
  if (parts.size() > 0) fields.media_url = parts[0];
  if (parts.size() > 1) fields.file_name = parts[1];
  if (parts.size() > 2) fields.host_key = parts[2];
  return fields;
}

void CreateResolvedTask(TaskTable& table, const std::string& media_url, const std::string& file_name,
                        const std::string& directory, const std::string& host_key) {
  table.AppendTask(media_url, file_name, directory);

  RecordSet& 记录集1 = table.Pending();
  if (记录集1.AddRecord() != 1) return;
  记录集1.WriteField("文件完整地址", media_url);
  记录集1.WriteField("下载文件名", file_name);
  记录集1.WriteField("下载路径", directory);
  记录集1.WriteField("歌曲来源", host_key);
  RenumberPendingRecords(记录集1);
}

}  // namespace morvalin
