#pragma once
// Helpers for the store's tests: a temporary directory, a second connection that reads a store file
// the way another program would, and a child process to run a step in.
#include <sqlite3.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace morvalin::testing {

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// One table's records as UTF-8 texts in record order; a NULL field reads "(null)".
using Rows = std::vector<std::vector<std::string>>;

// A separate connection to a store file, keyed with the store password unless told otherwise.
class SecondConnection {
 public:
  explicit SecondConnection(const std::string& path, const std::string& password = "vortigand");
  ~SecondConnection();
  bool ok() const { return ok_; }
  bool Execute(const std::string& sql);
  // The given fields of every record of `table`, ordered by record order.
  Rows Read(const std::string& table, const std::vector<std::string>& fields);

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
};

// Runs `step` in a forked child and returns the text it returned (or "child failed" when the child
// did not end normally).
std::string RunInChild(const std::function<std::string()>& step);
// Runs `step` in a forked child, which may report progress through the function it is given, and
// kills the child with SIGKILL as soon as `kill_when` holds for what it has reported so far (or once
// `step` returns). Returns the reports, followed by "killed" when the child died by that SIGKILL.
std::string RunInChildUntilKilled(
    const std::function<void(const std::function<void(const std::string&)>&)>& step,
    const std::function<bool(const std::string&)>& kill_when);

// Writes a new empty store at `path` and runs `seed_sql` on it through a second connection.
bool MakeStore(const std::string& path, const std::string& seed_sql = {});

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace morvalin::testing
