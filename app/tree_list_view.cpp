#include "app/tree_list_view.h"

#include <QTreeWidget>

#include "app/qt_text.h"
#include "app/state_images.h"

namespace morvalin {

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
}  // namespace

int TreeListView::RowCount() const { return tree_->topLevelItemCount(); }

int TreeListView::AppendRow(std::string_view first_column) {
  auto* item = new QTreeWidgetItem();
  item->setText(0, ToQString(first_column));
  item->setData(0, kImageRole, kNoIcon);
  for (int column = 0; column < tree_->columnCount(); ++column) {
    item->setTextAlignment(column, Qt::Alignment(tree_->headerItem()->textAlignment(column)));
  }
  tree_->addTopLevelItem(item);
  return RowCount() - 1;
}

void TreeListView::RemoveRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  delete tree_->takeTopLevelItem(row);
}

void TreeListView::RemoveAllRows() { tree_->clear(); }

std::string TreeListView::CellText(int row, int column) const {
  const QTreeWidgetItem* item = tree_->topLevelItem(row);
  if (item == nullptr || column < 0 || column >= tree_->columnCount()) return {};
  return FromQString(item->text(column));
}

void TreeListView::SetCellText(int row, int column, std::string_view text) {
  QTreeWidgetItem* item = tree_->topLevelItem(row);
  if (item == nullptr || column < 0 || column >= tree_->columnCount()) return;
  item->setText(column, ToQString(text));
}

int TreeListView::StateImage(int row) const {
  const QTreeWidgetItem* item = tree_->topLevelItem(row);
  return item == nullptr ? kNoIcon : item->data(0, kImageRole).toInt();
}

void TreeListView::SetStateImage(int row, int image) {
  QTreeWidgetItem* item = tree_->topLevelItem(row);
  if (item == nullptr) return;
  item->setData(0, kImageRole, image);
  item->setIcon(0, morvalin::StateImage(image));
}

int TreeListView::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
  if (selected.isEmpty()) return -1;
  return tree_->indexOfTopLevelItem(selected.first());
}

}  // namespace morvalin
