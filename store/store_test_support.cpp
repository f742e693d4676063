#include "store/store_test_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "store/empty_store.h"
#include "store/task_store.h"

namespace morvalin::testing {

TempDir::TempDir() {
  std::string pattern = "/tmp/morvalin-store-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

SecondConnection::SecondConnection(const std::string& path, const std::string& password) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return;
  if (!password.empty()) sqlite3_key(db_, password.data(), static_cast<int>(password.size()));
  sqlite3_busy_timeout(db_, 5000);
  ok_ = Execute("SELECT count(*) FROM sqlite_master");
}

SecondConnection::~SecondConnection() { sqlite3_close(db_); }

bool SecondConnection::Execute(const std::string& sql) {
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

Rows SecondConnection::Read(const std::string& table, const std::vector<std::string>& fields) {
  std::string sql = "SELECT ";
  bool first = true;
  for (const std::string& field : fields) {
    sql += (first ? "\"" : ", \"") + field + "\"";
    first = false;
  }
  sql += " FROM \"" + table + "\" ORDER BY rowid";
  Rows rows;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return {{"cannot read " + table}};
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : "(null)");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

namespace {

struct Child {
  pid_t pid = -1;
  int read_fd = -1;
};

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Forks a child that runs `body` with the write end of a pipe and then exits with 0; the parent gets
// the read end.
std::optional<Child> Fork(const std::function<void(int write_fd)>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    ::close(fds[0]);
    body(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  return Child{pid, fds[0]};
}

}  // namespace

std::string RunInChild(const std::function<std::string()>& step) {
  const auto child = Fork([&](int fd) {
    if (!WriteAll(fd, step())) ::_exit(1);
  });
  if (!child) return "no child";
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(child->read_fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(child->read_fd);
  int status = 0;
  ::waitpid(child->pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
  return text;
}

std::string RunInChildUntilKilled(
    const std::function<void(const std::function<void(const std::string&)>&)>& step,
    const std::function<bool(const std::string&)>& kill_when) {
  const auto child = Fork([&](int fd) {
    const auto report = [fd](const std::string& text) {
      if (!WriteAll(fd, text)) ::_exit(1);
    };
    step(report);
    report("<done>");
    for (;;) ::pause();
  });
  if (!child) return "no child";
  std::string text;
  char buffer[256];
  ssize_t n;
  while (!kill_when(text) && text.find("<done>") == std::string::npos &&
         (n = ::read(child->read_fd, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::kill(child->pid, SIGKILL);
  ::close(child->read_fd);
  int status = 0;
  ::waitpid(child->pid, &status, 0);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) text += "killed";
  return text;
}

bool MakeStore(const std::string& path, const std::string& seed_sql) {
  // Keying a file is slow on purpose (key derivation), so every store starts as a copy of one empty
  // store made once.
  static TempDir template_dir;
  static const std::string empty = [] {
    const std::string file = template_dir.File("empty.mdb");
    return CreateEmptyStore(file, std::string(kStorePassword)) == EmptyStoreResult::kCreated
               ? ReadFileBytes(file)
               : std::string();
  }();
  if (empty.empty()) return false;
  WriteFileBytes(path, empty);
  if (seed_sql.empty()) return true;
  SecondConnection other(path);
  return other.ok() && other.Execute(seed_sql);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace morvalin::testing
