#include "resolve/resolve_worker.h"

#include <utility>

#include "platform/code_page.h"
#include "resolve/batch_host.h"
#include "resolve/batch_window.h"
#include "resolve/resolvers.h"
#include "resolve/task_creation.h"
#include "resolve/ui_bridge.h"
#include "tasks/number_format.h"
#include "web/text_ops.h"

namespace morvalin {

std::vector<std::string> SplitBatchLines(const std::string& text) { return Split(text, "\r\n"); }

namespace {

// Hides, clears and enables the window and puts the speed limit back, in one step, so that no new
// batch can start between enabling the button and restoring the limit (which would otherwise lift
// the new batch's limit of 400).
void EndBatch(UiBridge& ui, BatchWindow* window) {
  ui.Run([&] {
    window->EndBatch();
    BatchHost& host = window->Host();
    host.SetSpeedLimit(SpeedLimitFromText(host.SpeedText()));
  });
}

void RunBatch(UiBridge* ui, BatchWindow* window, const SiteTable& sites) {
  std::string text;
  if (!ui->Run([&] { text = window->BatchText(); })) return;

  const std::vector<std::string> lines = SplitBatchLines(text);
  const std::string count = std::to_string(lines.size());
  const std::string resolving = Gbk("正在解析下载地址，请稍候...   ");
  if (!ui->Run([&] { window->SetStatusText(resolving + "0/" + count); })) return;

  // Pages are fetched here, on the worker; only the label update goes to the UI thread.
  std::vector<std::string> items;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!ui->Attached()) return;
    const std::string status = resolving + std::to_string(i + 1) + "/" + count;
    ResolveLine(lines[i], sites, [&](std::string item) {
      items.push_back(std::move(item));
      ui->Run([&] { window->SetStatusText(status); });
    });
  }

  if (!ui->Run([&] { window->SetStatusText(Gbk("解析完毕，正在创建任务,请稍候...")); })) return;

  for (const std::string& item : items) {
    const ResolvedItemFields fields = SplitResolvedItem(item);
    const bool created = ui->Run([&] {
      BatchHost& host = window->Host();
      // The directory is read anew for every item: the box's text of this moment, applied or not.
      host.CreateResolvedTask(fields.media_url, fields.file_name, host.DirectoryText(), fields.host_key);
    });
    if (!created) return;
  }
  EndBatch(*ui, window);
}

}  // namespace

void ResolveWorker(std::shared_ptr<UiBridge> ui, BatchWindow* window, SiteTable sites) {
  try {
    RunBatch(ui.get(), window, sites);
  } catch (...) {
    // Out of memory on the way: the batch ends early, and the window is not left disabled.
    try {
      EndBatch(*ui, window);
    } catch (...) {
    }
  }
}

}  // namespace morvalin
