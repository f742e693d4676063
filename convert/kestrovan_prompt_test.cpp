// The overwrite question, answered through a pipe and on a terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "convert/flv_test_support.h"

namespace morvalin {
namespace {

using testing::Bytes;
using testing::Clip;
using testing::kBanner;
using testing::MakeClip;
using testing::RunKestrovan;

TEST(KestrovanTest, OverwritePromptTakesOnlyYOrNAndEndOfInputAsNo) {
  const std::string prompt = "输出文件 \"clip.mp3\" 已经存在,覆盖?(y/n): ";
  struct Case {
    std::string keys;
    bool replaced;
    std::string answer;
  };
  for (const Case& c : {Case{"", false, "n"}, Case{"Yxq\ny", true, "y"}, Case{"N n", false, "n"}}) {
    testing::TempDir dir;
    Clip clip = MakeClip();
    Bytes old(10, 0xEE);
    testing::WriteFile(dir / "clip.flv", clip.flv);
    testing::WriteFile(dir / "clip.mp3", old);
    auto run = RunKestrovan({"-a", (dir / "clip.flv").string()}, c.keys);
    EXPECT_EQ(run.exit_code, 0) << c.keys;
    EXPECT_EQ(run.output, kBanner + prompt + c.answer + "\n\n原始帧频: 25 (25/1)\n平均帧频: 25 (25/1)\n\n完成.\n")
        << c.keys;
    EXPECT_EQ(testing::ReadFile(dir / "clip.mp3"), c.replaced ? clip.audio : old) << c.keys;
  }
}

// Reads what the terminal shows until `done` holds or the child has gone; false after the time-out.
bool ReadTerminal(int master, std::string* shown, const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buffer[1024];
  while (!done()) {
    pollfd pfd{master, POLLIN, 0};
    if (std::chrono::steady_clock::now() > deadline || poll(&pfd, 1, 200) < 0) return false;
    if (pfd.revents == 0) continue;
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) return done();  // EIO once the child has closed the terminal
    shown->append(buffer, static_cast<size_t>(n));
  }
  return true;
}

TEST(KestrovanTest, PromptOnATerminalTakesSingleKeysWithoutEcho) {
  testing::TempDir dir;
  Clip clip = MakeClip();
  testing::WriteFile(dir / "clip.flv", clip.flv);
  testing::WriteFile(dir / "clip.mp3", Bytes(10, 0xEE));
  std::string program = testing::KestrovanPath().string();
  std::string input = (dir / "clip.flv").string();
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) GTEST_SKIP() << "no pseudo-terminal available here";
  if (pid == 0) {
    execl(program.c_str(), program.c_str(), "-a", input.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string shown;
  const std::string prompt = "输出文件 \"clip.mp3\" 已经存在,覆盖?(y/n): ";
  ASSERT_TRUE(ReadTerminal(master, &shown, [&] { return shown.find(prompt) != std::string::npos; })) << shown;
  // Type only once the program has switched the terminal to single keys without echo.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  termios mode{};
  while (tcgetattr(master, &mode) == 0 && (mode.c_lflag & (ECHO | ICANON)) != 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(mode.c_lflag & (ECHO | ICANON), 0u);
  ASSERT_EQ(write(master, "qY", 2), 2);
  ASSERT_EQ(write(master, "y", 1), 1);
  ReadTerminal(master, &shown, [&] { return shown.find("完成.") != std::string::npos; });
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Nothing typed is echoed; the answer is printed once, then a line break and an empty line.
  std::string after = shown.substr(shown.find(prompt) + prompt.size());
  EXPECT_EQ(after.rfind("y\r\n\r\n", 0), 0u) << after;
  EXPECT_EQ(after.find('q'), std::string::npos);
  EXPECT_EQ(testing::ReadFile(dir / "clip.mp3"), clip.audio);
}

}  // namespace
}  // namespace morvalin
