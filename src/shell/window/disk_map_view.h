#pragma once
// The "Disk map" tab: one column per track of the layout the last whole-disk operation used,
// one cell per sector, coloured by what the operation found or wrote there, with a legend, under
// a caption that names the operation, the drive and the time it started.
// Hovering a cell names its track, sector, code and the code's words.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desk.h"
#include "shell/window/scheduled_paint.h"

namespace dw {

class DiskMapView final : public QWidget {
  Q_OBJECT

 public:
  explicit DiskMapView(QWidget* parent = nullptr);

  void Start(const DiskMapLayout& layout);
  void SetTrack(int track, const std::vector<uint8_t>& cells);
  void SetSector(int track, int sector, uint8_t cell);

  // Which command on which drive the map shows, and when: the line above the map.
  const QString& caption() const { return caption_; }
  int columnCount() const { return static_cast<int>(cells_.size()); }
  int sectorCount(int track) const;
  // kMapNotRead for a place the layout does not have.
  uint8_t cell(int track, int sector) const;
  // The track and sector drawn at a point of the view.
  std::optional<std::pair<int, int>> CellAt(QPoint point) const;
  QRect CellRect(int track, int sector) const;
  QString HoverText(int track, int sector) const;
  bool repaintPending() const { return paint_.pending(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int rowCount() const;
  QRectF GridArea() const;
  int LegendHeight() const;
  int CaptionHeight() const;

  std::vector<std::vector<uint8_t>> cells_;
  std::map<uint8_t, std::string> codeTexts_;
  QString caption_;
  ScheduledPaint paint_{this};
};

}  // namespace dw
