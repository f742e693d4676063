#pragma once
// Engine calls that take a record: they hand the engine the record's current block, and never a null
// one. A record whose Build failed has no block; the call is then skipped and gives 0, which callers
// already treat as "no handle" (create) or "skip this task" (query).
//
// Callers take these in place of passing BlockAddress() to the engine themselves.
#include <cstdint>

#include "engine/download_engine.h"
#include "engine/task_records.h"

namespace morvalin {

// XL_CreateTask with the block of the last Build; 0 without calling the engine when there is none.
TaskHandle CreateEngineTask(DownloadEngine& engine, const TaskParamBlock& params);

// XL_QueryTaskInfoEx into the block of the last Build; 0 without calling the engine when there is none.
// On a non-zero result the record's read accessors give the task's state.
std::int32_t QueryEngineTask(DownloadEngine& engine, TaskHandle handle, const TaskInfoBlock& info);

}  // namespace morvalin
