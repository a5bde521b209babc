#pragma once
// The command bar: five toggle buttons (ids 31..35) with text under one large floppy-disk
// picture. A click leaves its button pressed until the program releases it.

#include <QToolBar>
#include <map>

class QAction;
class QToolButton;

namespace dw {

class CommandBar final : public QToolBar {
  Q_OBJECT

 public:
  explicit CommandBar(QWidget* parent);

  // nullptr when no button has this id.
  QAction* action(int id) const;
  QToolButton* button(int id) const;

 signals:
  void commandChosen(int id);

 private:
  std::map<int, QAction*> actions_;
};

}  // namespace dw
