#include "shell/window/disk_map_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "shell/window/map_palette.h"

namespace dw {

namespace {

constexpr int kMargin = 4;
constexpr int kSectorLabelWidth = 22;
constexpr int kTrackLabelHeight = 14;
constexpr int kSwatch = 12;
constexpr int kLegendGap = 10;
// Below this cell size a code's digit would not fit in its cell.
constexpr double kSmallestLabelledCell = 8.0;

QString CellLabel(uint8_t cell) {
  if (cell == kMapDiffers) return "X";
  if (cell == kMapRecovered) return "R";
  if (cell <= kMapGood) return {};
  if (cell > 0x0F) return "*";
  return QString::number(cell, 16).toUpper();
}

// Dark fills get white writing.
QColor WritingOn(const QColor& fill) {
  return fill.lightnessF() < 0.45 ? Qt::white : Qt::black;
}

// The legend's entries flow left to right and wrap at the view's width.
std::vector<QRect> LegendPlaces(int width, const QFontMetrics& metrics) {
  std::vector<QRect> places;
  int x = kMargin;
  int y = 0;
  const int rowHeight = std::max(kSwatch, metrics.height()) + 2;
  auto place = [&](const char* text) {
    const int w = kSwatch + 4 + metrics.horizontalAdvance(QString::fromLatin1(text));
    if (x > kMargin && x + w > width - kMargin) {
      x = kMargin;
      y += rowHeight;
    }
    places.emplace_back(x, y, w, rowHeight);
    x += w + kLegendGap;
  };
  for (const CellStyle& style : kCellStyles) place(style.legend);
  place(kOtherCodeStyle.legend);
  return places;
}

void DrawCell(QPainter& painter, const QRectF& box, uint8_t cell) {
  const CellStyle& style = StyleOf(cell);
  painter.fillRect(box, style.fill);
  if (cell == kMapDiffers) {
    painter.setPen(QPen(kOkabeBlack, 1.5));
    painter.drawRect(box);
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomLeft());
    return;
  }
  const QString label = CellLabel(cell);
  if (label.isEmpty() || box.width() < kSmallestLabelledCell ||
      box.height() < kSmallestLabelledCell) {
    return;
  }
  painter.setPen(WritingOn(style.fill));
  painter.drawText(box, Qt::AlignCenter, label);
}

}  // namespace

DiskMapView::DiskMapView(QWidget* parent) : QWidget(parent) {
  setObjectName("DiskMap");
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  setPalette(colours);
}

void DiskMapView::Start(const DiskMapLayout& layout) {
  cells_.clear();
  for (int sectors : layout.sectorsPerTrack) {
    cells_.emplace_back(static_cast<size_t>(std::max(0, sectors)), kMapNotRead);
  }
  codeTexts_ = layout.codeTexts;
  caption_ = QString::fromLatin1(layout.caption.c_str());
  paint_.Schedule();
}

void DiskMapView::SetTrack(int track, const std::vector<uint8_t>& cells) {
  for (size_t sector = 0; sector < cells.size(); ++sector) {
    SetSector(track, static_cast<int>(sector), cells[sector]);
  }
}

void DiskMapView::SetSector(int track, int sector, uint8_t cell) {
  if (sector < 0 || sector >= sectorCount(track)) return;
  cells_[static_cast<size_t>(track - 1)][static_cast<size_t>(sector)] = cell;
  paint_.Schedule();
}

int DiskMapView::sectorCount(int track) const {
  if (track < 1 || track > columnCount()) return 0;
  return static_cast<int>(cells_[static_cast<size_t>(track - 1)].size());
}

uint8_t DiskMapView::cell(int track, int sector) const {
  if (sector < 0 || sector >= sectorCount(track)) return kMapNotRead;
  return cells_[static_cast<size_t>(track - 1)][static_cast<size_t>(sector)];
}

int DiskMapView::rowCount() const {
  int rows = 0;
  for (const auto& column : cells_) rows = std::max(rows, static_cast<int>(column.size()));
  return rows;
}

int DiskMapView::LegendHeight() const {
  const std::vector<QRect> places = LegendPlaces(width(), fontMetrics());
  return places.empty() ? 0 : places.back().bottom() + 1 + kMargin;
}

int DiskMapView::CaptionHeight() const {
  return caption_.isEmpty() ? 0 : fontMetrics().height() + kMargin;
}

QRectF DiskMapView::GridArea() const {
  const double left = kMargin + kSectorLabelWidth;
  const double top = kMargin + CaptionHeight() + kTrackLabelHeight;
  const double w = width() - left - kMargin;
  const double h = height() - top - LegendHeight() - kMargin;
  return {left, top, std::max(0.0, w), std::max(0.0, h)};
}

QRect DiskMapView::CellRect(int track, int sector) const {
  if (sector < 0 || sector >= sectorCount(track)) return {};
  const QRectF grid = GridArea();
  const double w = grid.width() / columnCount();
  const double h = grid.height() / rowCount();
  return QRectF(grid.left() + (track - 1) * w, grid.top() + sector * h, w, h).toRect();
}

std::optional<std::pair<int, int>> DiskMapView::CellAt(QPoint point) const {
  const QRectF grid = GridArea();
  if (columnCount() == 0 || !grid.contains(point)) return std::nullopt;
  const int track = 1 + static_cast<int>((point.x() - grid.left()) * columnCount() / grid.width());
  const int sector = static_cast<int>((point.y() - grid.top()) * rowCount() / grid.height());
  if (sector >= sectorCount(track)) return std::nullopt;
  return std::make_pair(track, sector);
}

QString DiskMapView::HoverText(int track, int sector) const {
  if (sector < 0 || sector >= sectorCount(track)) return {};
  const uint8_t code = cell(track, sector);
  QString text = QString("Track %1, sector %2: ").arg(track).arg(sector);
  if (code == kMapNotRead) return text + "not read yet";
  if (code == kMapDiffers) return text + "differs from the image";
  if (code == kMapRecovered) return text + "code 1, read good when the track was read again";
  const auto words = codeTexts_.find(code);
  const QString name =
      words == codeTexts_.end() ? QString() : QString::fromLatin1(words->second.c_str());
  return text + QString("code %1, %2").arg(CellLabel(code).isEmpty() ? "1" : CellLabel(code), name);
}

bool DiskMapView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  if (const auto place = CellAt(help->pos())) {
    QToolTip::showText(help->globalPos(), HoverText(place->first, place->second), this,
                       CellRect(place->first, place->second));
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

void DiskMapView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (columnCount() == 0) {
    painter.setPen(Qt::darkGray);
    painter.drawText(rect(), Qt::AlignCenter, "No disk read or written yet");
    return;
  }
  const QRectF grid = GridArea();
  const double w = grid.width() / columnCount();
  const double h = grid.height() / rowCount();
  const bool gaps = w >= 4 && h >= 4;

  QFont small = font();
  small.setPixelSize(std::clamp(static_cast<int>(std::min(w, h) * 0.7), 7, 11));
  painter.setFont(small);
  for (int track = 1; track <= columnCount(); ++track) {
    for (int sector = 0; sector < sectorCount(track); ++sector) {
      QRectF box(grid.left() + (track - 1) * w, grid.top() + sector * h, w, h);
      if (gaps) box.adjust(0.5, 0.5, -0.5, -0.5);
      DrawCell(painter, box, cell(track, sector));
    }
  }

  // Track numbers above every fifth column, sector numbers beside every fifth row.
  painter.setFont(font());
  painter.setPen(Qt::black);
  const QFontMetrics metrics = fontMetrics();
  if (!caption_.isEmpty()) {
    painter.drawText(QRect(kMargin, kMargin, width() - 2 * kMargin, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, caption_);
  }
  const int trackStep = w * 5 >= metrics.horizontalAdvance("80") + 2 ? 5 : 10;
  for (int track = 1; track <= columnCount(); ++track) {
    if (track != 1 && track % trackStep != 0) continue;
    const QRectF label(grid.left() + (track - 1) * w - 10, kMargin + CaptionHeight(), w + 20,
                       kTrackLabelHeight);
    painter.drawText(label, Qt::AlignCenter, QString::number(track));
  }
  for (int sector = 0; sector < rowCount(); sector += 5) {
    const QRectF label(kMargin, grid.top() + sector * h, kSectorLabelWidth - 3, h);
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(sector));
  }

  const std::vector<QRect> places = LegendPlaces(width(), metrics);
  const int legendTop = height() - LegendHeight();
  for (size_t i = 0; i < places.size(); ++i) {
    const CellStyle& style = i < kCellStyles.size() ? kCellStyles[i] : kOtherCodeStyle;
    const QRect place = places[i].translated(0, legendTop);
    const QRect swatch(place.left(), place.center().y() - kSwatch / 2, kSwatch, kSwatch);
    painter.fillRect(swatch, style.fill);
    painter.setPen(Qt::gray);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    painter.drawText(place.adjusted(kSwatch + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromLatin1(style.legend));
  }
}

}  // namespace dw
