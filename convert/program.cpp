#include "convert/program.h"

#include <exception>

#include "convert/flv_file.h"

namespace morvalin {

namespace {

constexpr const char* kBanner[] = {
    "Kestrovan v1.6.0",
    "Morvalin 项目出品, 仅供学习交流.",
    "本软件可帮助您进行快速分离出FLV视频中的音频、视频(264格式)以及时间帧",
    "",
};

constexpr const char* kUsage[] = {
    "用法: [转换开关] 原路径",
    "",
    "转换开关:",
    "  -v         提取视频.",
    "  -a         提取音频.",
    "  -t         提取时间帧.",
    "  -o         不提示覆盖输出文件.",
    "  -d <dir>   输出目录.如果没有指定,输出文件将被写到与源文件的目录相同.",
};

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-v") {
      cl.extract_video = true;
    } else if (a == "-a") {
      cl.extract_audio = true;
    } else if (a == "-t") {
      cl.extract_time_codes = true;
    } else if (a == "-o") {
      cl.overwrite = true;
    } else if (a == "-d") {
      if (i + 1 >= args.size()) return std::nullopt;
      cl.output_directory = std::filesystem::path(args[++i]);
    } else {
      break;
    }
  }
  if (i + 1 != args.size()) return std::nullopt;  // no path, or more after it
  cl.input_path = args[i];
  return cl;
}

void Program::Line(const std::string& text) {
  std::fputs(text.c_str(), out_);
  std::fputc('\n', out_);
}

bool Program::PromptOverwrite(const std::filesystem::path& path) {
  std::fprintf(out_, "输出文件 \"%s\" 已经存在,覆盖?(y/n): ", path.filename().string().c_str());
  std::fflush(out_);
  int key;
  do {
    key = read_key_();
  } while (key != 'y' && key != 'n' && key != -1);
  bool yes = key == 'y';
  Line(yes ? "y" : "n");
  Line();
  return yes;
}

int Program::Main(const std::vector<std::string>& args) {
  for (const char* line : kBanner) Line(line);
  std::optional<CommandLine> cl = ParseCommandLine(args);
  if (!cl) {
    for (const char* line : kUsage) Line(line);
    std::fflush(out_);
    return 1;
  }

  FLVFile flv;
  OverwriteDelegate overwrite = [this, always = cl->overwrite](const std::filesystem::path& path) {
    return always || PromptOverwrite(path);
  };
  Status status;
  try {
    status = flv.Open(cl->input_path, cl->output_directory, overwrite);
    if (status.ok()) status = flv.ExtractStreams(cl->extract_audio, cl->extract_video, cl->extract_time_codes);
  } catch (const std::exception& e) {
    status = Status::Error(e.what());
  }
  flv.Close();
  if (!status.ok()) {
    Line("错误: " + status.message());
    std::fflush(out_);
    return 1;
  }

  if (flv.TrueFrameRate() || flv.AverageFrameRate()) {
    if (flv.TrueFrameRate()) Line("原始帧频: " + flv.TrueFrameRate()->ToString());
    if (flv.AverageFrameRate()) Line("平均帧频: " + flv.AverageFrameRate()->ToString());
    Line();
  }
  if (!flv.GetWarnings().empty()) {
    for (const std::string& warning : flv.GetWarnings()) Line("警告: " + warning);
    Line();
  }
  Line("完成.");
  std::fflush(out_);
  return 0;
}

}  // namespace morvalin
