#include "shell/window/directory_list.h"

#include <QMouseEvent>

namespace dw {

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
  setObjectName("DirectoryList");
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int DirectoryList::selectedLine() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

void DirectoryList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
    emit lineDoubleClicked();
  }
}

}  // namespace dw
