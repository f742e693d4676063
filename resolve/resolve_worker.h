#pragma once
// ResolveWorker: one batch of the batch window, on a thread of its own.
//
// It reads the batch text, splits it at CR LF into lines, resolves every line with the site resolvers
// (fetching pages on this thread), counts the lines in 标签1, then creates a task for every resolved
// item with the directory text of that moment, and finally hides and clears the window, enables it and
// puts the speed limit back to the main window's speed text. Every step that touches a window, the
// task table, the engine or the store runs on the UI thread through `ui`, in that order; the worker
// stops at the first step its window no longer takes (the window was destroyed).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resolve/site_table.h"

namespace morvalin {

class BatchWindow;
class UiBridge;

// The engine's speed limit while a batch runs, in KB/s.
inline constexpr std::int32_t kBatchSpeedLimit = 400;

void ResolveWorker(std::shared_ptr<UiBridge> ui, BatchWindow* window, SiteTable sites);

// The lines of a batch text: split at every CR LF; empty lines between two breaks remain, a break at
// the very end adds no line, an empty text gives none.
std::vector<std::string> SplitBatchLines(const std::string& text);

}  // namespace morvalin
