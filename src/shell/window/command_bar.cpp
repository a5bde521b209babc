#include "shell/window/command_bar.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolButton>

#include "shell/window/floppy_picture.h"
#include "shell/window/png_picture.h"
#include "shell/window/window_tables.h"

namespace dw {

namespace {

constexpr int kIconSide = 32;

// The picture comes from the program's own PNG bytes through libpng, not from Qt's image
// readers. A picture that cannot be decoded leaves the buttons with text only.
QIcon FloppyIcon() {
  DecodedPicture picture = DecodePngPicture(FloppyPicturePng());
  if (!picture.ok) return {};
  QImage image(picture.rgba.data(), picture.width, picture.height, picture.width * 4,
               QImage::Format_RGBA8888);
  return QIcon(QPixmap::fromImage(image.copy()));
}

}  // namespace

CommandBar::CommandBar(QWidget* parent) : QToolBar(parent) {
  setObjectName("CommandBar");
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  setIconSize(QSize(kIconSide, kIconSide));

  const QIcon icon = FloppyIcon();
  for (size_t i = 0; i < kCommandButtons.size(); ++i) {
    const CommandButtonSpec& spec = kCommandButtons[i];
    auto* action = new QAction(icon, QString::fromLatin1(spec.label), this);
    // The icon text is set apart: Qt trims the blanks off a text it derives.
    action->setIconText(QString::fromLatin1(spec.label));
    action->setToolTip(QString::fromLatin1(spec.toolTip));
    action->setCheckable(true);
    action->setObjectName(QString("commandAction%1").arg(spec.id));
    const int id = spec.id;
    connect(action, &QAction::triggered, this, [this, id] { emit commandChosen(id); });
    addAction(action);
    widgetForAction(action)->setObjectName(QString("commandButton%1").arg(spec.id));
    actions_[spec.id] = action;
    if (i + 1 < kCommandButtons.size()) addSeparator();
  }
}

QAction* CommandBar::action(int id) const {
  auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QToolButton* CommandBar::button(int id) const {
  QAction* a = action(id);
  return a == nullptr ? nullptr : qobject_cast<QToolButton*>(widgetForAction(a));
}

}  // namespace dw
