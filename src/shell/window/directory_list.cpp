#include "shell/window/directory_list.h"

#include <QFontMetrics>
#include <QMouseEvent>

#include "disk/petscii.h"

namespace dw {

namespace {

constexpr int kBytesRole = Qt::UserRole;
constexpr int kNoteRole = Qt::UserRole + 1;

QByteArray ToBytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromBytes(const QVariant& value) {
  return value.toByteArray().toStdString();
}

}  // namespace

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
  setObjectName("DirectoryList");
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int DirectoryList::selectedLine() const {
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.first().row();
}

// A symbol the list's font (with the system's fallbacks) cannot draw would be an empty box; the
// nearest long-standing symbol is drawn instead.
QString DirectoryList::Shown(const QListWidgetItem& item) const {
  const CharacterSet set = lowerCase_ ? CharacterSet::kLowerUpper : CharacterSet::kUpperGraphics;
  const QFontMetrics metrics(font());
  QString text;
  for (char byte : item.data(kBytesRole).toByteArray()) {
    char32_t c = PetsciiCharacter(static_cast<uint8_t>(byte), set);
    if (!metrics.inFontUcs4(c)) c = WidelyDrawnSymbol(c);
    text += QString::fromUcs4(&c, 1);
  }
  return text + QString::fromLatin1(item.data(kNoteRole).toByteArray());
}

void DirectoryList::addListingLine(const std::string& bytes) {
  auto* item = new QListWidgetItem;
  item->setData(kBytesRole, ToBytes(bytes));
  item->setText(Shown(*item));
  addItem(item);
}

void DirectoryList::setNote(int line, const std::string& note) {
  if (QListWidgetItem* entry = item(line)) {
    entry->setData(kNoteRole, ToBytes(note));
    entry->setText(Shown(*entry));
  }
}

std::string DirectoryList::lineText(int line) const {
  const QListWidgetItem* entry = item(line);
  if (entry == nullptr) return std::string();
  return FromBytes(entry->data(kBytesRole)) + FromBytes(entry->data(kNoteRole));
}

void DirectoryList::setLowerCase(bool lower) {
  lowerCase_ = lower;
  for (int line = 0; line < count(); ++line) item(line)->setText(Shown(*item(line)));
}

void DirectoryList::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
    emit lineDoubleClicked();
  }
}

}  // namespace dw
