#pragma once
// The three objects every part of the program shares, created before the main window and freed after
// it: the engine task handles and the two engine records. Neither record is built here; the first
// task created or restored builds them.
#include "engine/task_records.h"
#include "tasks/task_table.h"

namespace morvalin {

struct GlobalObjects {
  GlobalObjects() = default;
  GlobalObjects(const GlobalObjects&) = delete;
  GlobalObjects& operator=(const GlobalObjects&) = delete;
  // The exit clean-up: the handle list, then the info record's block, then the param record's.
  ~GlobalObjects() {
    TaskHandleList().swap(task_handle_list);
    task_info_block.Destroy();
    task_param_block.Destroy();
  }

  TaskHandleList task_handle_list;
  TaskInfoBlock task_info_block;
  TaskParamBlock task_param_block;
};

}  // namespace morvalin
