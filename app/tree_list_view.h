#pragma once
// A task list on a QTreeWidget used as a report view: one top-level item per row, texts converted
// between code page 936 and the widget's QString, the state image shown as the icon of column 0.
#include "tasks/task_table.h"

class QTreeWidget;

namespace morvalin {

class TreeListView : public TaskListView {
 public:
  // The tree is attached once the window has made it.
  void Attach(QTreeWidget* tree) { tree_ = tree; }

  int RowCount() const override;
  int AppendRow(std::string_view first_column) override;
  void RemoveRow(int row) override;
  void RemoveAllRows() override;
  std::string CellText(int row, int column) const override;
  void SetCellText(int row, int column, std::string_view text) override;
  int StateImage(int row) const override;
  void SetStateImage(int row, int image) override;
  int SelectedRow() const override;

 private:
  QTreeWidget* tree_ = nullptr;
};

}  // namespace morvalin
