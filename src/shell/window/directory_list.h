#pragma once
// The single-column directory list. Single clicks only select a line; a left double-click on
// a line asks for that file. Each line keeps the drive's bytes and shows them as the computer's
// screen would, in the character set the View menu chooses (upper case and graphics unless
// lower case is chosen), followed by the program's note for the line.

#include <QListWidget>
#include <string>

namespace dw {

class DirectoryList final : public QListWidget {
  Q_OBJECT

 public:
  explicit DirectoryList(QWidget* parent);

  // The selected line, or -1.
  int selectedLine() const;

  void addListingLine(const std::string& bytes);
  void setNote(int line, const std::string& note);
  // The line's bytes followed by its note; empty for a line the list does not have.
  std::string lineText(int line) const;
  bool lowerCase() const { return lowerCase_; }
  void setLowerCase(bool lower);

 signals:
  void lineDoubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QString Shown(const QListWidgetItem& item) const;

  bool lowerCase_ = false;
};

}  // namespace dw
