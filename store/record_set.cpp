#include <charconv>
#include <limits>

#include "platform/code_page.h"
#include "store/record_set_state.h"

namespace morvalin {
namespace {

using Value = StoredValue;

bool InInt32Range(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// A whole decimal integer, blanks around it allowed, as a 32-bit value; nothing else converts.
std::optional<std::int32_t> ParseInt32(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

RecordSet::RecordSet() : state_(std::make_unique<State>()) {}
RecordSet::~RecordSet() = default;

bool RecordSet::IsOpen() const { return state_->IsOpen(); }

int RecordSet::RecordCount() {
  if (!state_->IsOpen()) return -1;
  return static_cast<int>(state_->rows.size());
}

void RecordSet::GoToRecord(int n) {
  State& s = *state_;
  if (!s.IsOpen()) return;
  auto lock = s.connection->Lock();
  s.Save();
  s.current_deleted = false;
  // A position outside the records leaves no current record rather than keeping the old one, so a
  // caller never reads another record's fields by mistake.
  s.position =
      (n >= 0 && static_cast<std::size_t>(n) < s.rows.size()) ? static_cast<std::size_t>(n) : s.rows.size();
}

void RecordSet::MoveFirst() { GoToRecord(0); }

void RecordSet::MoveNext() {
  State& s = *state_;
  if (!s.IsOpen()) return;
  auto lock = s.connection->Lock();
  s.Save();
  if (s.current_deleted) {
    // The record after the deleted one has moved up into its place.
    s.current_deleted = false;
  } else if (s.position < s.rows.size()) {
    ++s.position;
  }
}

std::string RecordSet::ReadText(std::string_view field) {
  State& s = *state_;
  if (!s.HasCurrent()) return {};
  auto lock = s.connection->Lock();
  const int column = s.ColumnIndex(field);
  if (column < 0) return {};
  const std::optional<Value> value = s.CurrentValue(column);
  if (!value) return {};
  if (const auto* text = std::get_if<std::string>(&*value)) return Utf8ToGbk(*text);
  return std::to_string(std::get<std::int64_t>(*value));
}

void RecordSet::ReadInt(std::string_view field, std::int32_t& value) {
  State& s = *state_;
  if (!s.HasCurrent()) return;
  auto lock = s.connection->Lock();
  const int column = s.ColumnIndex(field);
  if (column < 0) return;
  const std::optional<Value> stored = s.CurrentValue(column);
  if (!stored) return;
  if (const auto* number = std::get_if<std::int64_t>(&*stored)) {
    if (InInt32Range(*number)) value = static_cast<std::int32_t>(*number);
  } else if (const auto parsed = ParseInt32(std::get<std::string>(*stored))) {
    value = *parsed;
  }
}

void RecordSet::WriteField(std::string_view field, std::string_view text) {
  State& s = *state_;
  if (!s.HasCurrent()) return;
  const int column = s.ColumnIndex(field);
  if (column < 0) return;
  if (s.columns[column].kind == FieldKind::kText) {
    s.pending[column].emplace(std::in_place_type<std::string>, GbkToUtf8(text));
  } else if (const auto parsed = ParseInt32(text)) {
    s.pending[column].emplace(std::in_place_type<std::int64_t>, *parsed);
  }
}

void RecordSet::WriteField(std::string_view field, std::int32_t value) {
  State& s = *state_;
  if (!s.HasCurrent()) return;
  const int column = s.ColumnIndex(field);
  if (column < 0) return;
  if (s.columns[column].kind == FieldKind::kText) {
    s.pending[column].emplace(std::in_place_type<std::string>, std::to_string(value));
  } else {
    s.pending[column].emplace(std::in_place_type<std::int64_t>, value);
  }
}

int RecordSet::AddRecord() {
  State& s = *state_;
  if (!s.IsOpen()) return 0;
  auto lock = s.connection->Lock();
  s.Save();
  // A record that could never be saved is refused at once, so the caller writes nothing into it.
  if (s.connection->IsReadOnly() || s.rows.size() >= kMaxRecords) return 0;
  s.rows.push_back(0);
  s.position = s.rows.size() - 1;
  s.current_deleted = false;
  s.adding = true;
  return 1;
}

void RecordSet::DeleteCurrentRecord() {
  State& s = *state_;
  if (!s.HasCurrent()) return;
  auto lock = s.connection->Lock();
  s.ClearPending();
  s.ForgetLoaded();
  if (s.adding) {
    // Never saved: it only leaves the snapshot.
    s.adding = false;
    s.rows.pop_back();
    s.current_deleted = true;
    return;
  }
  Statement stmt(*s.connection, "DELETE FROM " + QuoteIdentifier(s.table) + " WHERE rowid = ?1");
  if (!stmt.Ok() || !stmt.BindInt(1, s.rows[s.position]) || stmt.Step() != SQLITE_DONE) return;
  s.rows.erase(s.rows.begin() + static_cast<std::ptrdiff_t>(s.position));
  s.current_deleted = true;
}

void RecordSet::DeleteAllRecords() {
  State& s = *state_;
  if (!s.IsOpen()) return;
  auto lock = s.connection->Lock();
  // A pending edit or new record belongs to a table that is about to be emptied.
  s.adding = false;
  s.ClearPending();
  s.connection->Execute("DELETE FROM " + QuoteIdentifier(s.table));
  if (!s.Reload()) {
    lock.unlock();
    s.Close();
  }
}

}  // namespace morvalin
