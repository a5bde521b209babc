#pragma once
// The single-column directory list. Single clicks only select a line; a left double-click on
// a line asks for that file.

#include <QListWidget>

namespace dw {

class DirectoryList final : public QListWidget {
  Q_OBJECT

 public:
  explicit DirectoryList(QWidget* parent);

  // The selected line, or -1.
  int selectedLine() const;

 signals:
  void lineDoubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace dw
