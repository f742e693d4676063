#include "convert/time_code_writer.h"

#include <string>

namespace morvalin {

namespace {
Status WriteText(OutputFile& fs, const std::string& text) {
  return fs.Write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}
}  // namespace

Status TimeCodeWriter::Open() {
  if (!path_) return {};
  MORVALIN_RETURN_IF_ERROR(fs_.Create(*path_));
  return WriteText(fs_, "# timecode format v2\n");
}

Status TimeCodeWriter::Write(uint32_t time_stamp) {
  if (!path_) return {};
  return WriteText(fs_, std::to_string(time_stamp) + "\n");
}

Status TimeCodeWriter::Finish() {
  if (!path_) return {};
  return fs_.Close();
}

}  // namespace morvalin
