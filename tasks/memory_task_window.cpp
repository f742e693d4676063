#include "tasks/memory_task_window.h"

namespace morvalin {

int MemoryListView::AppendRow(std::string_view first_column) {
  Row row;
  row.cells.resize(static_cast<std::size_t>(columns_));
  row.cells[0] = std::string(first_column);
  rows_.push_back(std::move(row));
  return RowCount() - 1;
}

void MemoryListView::RemoveRow(int row) {
  if (Valid(row)) rows_.erase(rows_.begin() + row);
}

std::string MemoryListView::CellText(int row, int column) const {
  if (!Valid(row) || column < 0 || column >= columns_) return {};
  return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

void MemoryListView::SetCellText(int row, int column, std::string_view text) {
  if (!Valid(row) || column < 0 || column >= columns_) return;
  rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)] = std::string(text);
}

int MemoryListView::StateImage(int row) const {
  return Valid(row) ? rows_[static_cast<std::size_t>(row)].image : kNoIcon;
}

void MemoryListView::SetStateImage(int row, int image) {
  if (Valid(row)) rows_[static_cast<std::size_t>(row)].image = image;
}

bool MemoryTaskWindow::AskYesNo(std::string_view text, std::string_view caption) {
  messages.push_back({std::string(text), std::string(caption), true});
  if (answers.empty()) return false;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void MemoryTaskWindow::ShowMessage(std::string_view text, std::string_view caption) {
  messages.push_back({std::string(text), std::string(caption), false});
}

void MemoryTaskWindow::LetPendingEventsRun() {
  ++yields;
  if (pending_events) pending_events();
}

}  // namespace morvalin
