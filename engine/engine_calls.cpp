#include "engine/engine_calls.h"

#include <algorithm>
#include <string>

#include "engine/record_layout.h"

namespace morvalin {

TaskHandle CreateEngineTask(DownloadEngine& engine, const TaskParamBlock& params) {
  const void* block = params.BlockAddress();
  return block ? engine.XL_CreateTask(block) : 0;
}

std::int32_t QueryEngineTask(DownloadEngine& engine, TaskHandle handle, const TaskInfoBlock& info) {
  void* block = info.BlockAddress();
  return block ? engine.XL_QueryTaskInfoEx(handle, block) : 0;
}

std::int32_t DeleteEngineTempFile(DownloadEngine& engine, std::string_view directory,
                                  std::string_view file_name) {
  namespace p = layout::param;
  std::string image(p::kLaidOut, '\0');
  image[p::kNReserved1.offset] = 5;
  image[p::kReserved.offset] = 1;
  // A text longer than its field is cut to the field, so the image keeps its layout.
  const auto put = [&image](const layout::Field& field, const std::string& text) {
    std::copy_n(text.begin(), std::min(text.size(), field.width), image.begin() + field.offset);
  };
  put(p::kSzFilename, GbkToUtf16(file_name));
  put(p::kSzSavePath, GbkToUtf16(directory));
  return engine.XL_DelTempFile(image.data());
}

}  // namespace morvalin
