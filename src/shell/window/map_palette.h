#pragma once
// The colours of the disk map and the RPM chart: the eight-colour palette of Okabe and Ito,
// chosen so that people who tell red from green badly still tell every entry apart. Each code
// also gets its digit written in its cell, so colour is never the only sign.

#include <QColor>
#include <array>
#include <cstdint>

#include "platform/desk.h"

namespace dw {

struct CellStyle {
  uint8_t cell;
  QColor fill;
  const char* legend;
};

inline const QColor kOkabeBlack(0, 0, 0);
inline const QColor kOkabeOrange(230, 159, 0);
inline const QColor kOkabeSkyBlue(86, 180, 233);
inline const QColor kOkabeBluishGreen(0, 158, 115);
inline const QColor kOkabeYellow(240, 228, 66);
inline const QColor kOkabeBlue(0, 114, 178);
inline const QColor kOkabeVermillion(213, 94, 0);
inline const QColor kOkabeReddishPurple(204, 121, 167);

inline const QColor kNotReadFill(232, 232, 232);
inline const QColor kDiffersFill(255, 255, 255);
// The good sectors' green, lightened: good in the image, yet the disk read them wrong at first.
inline const QColor kRecoveredFill(150, 214, 190);

// In legend order. Codes not listed (6, 7, 8, $A and up, $80) share kOtherCodeStyle.
inline const std::array kCellStyles{
    CellStyle{kMapNotRead, kNotReadFill, "not read"},
    CellStyle{kMapGood, kOkabeBluishGreen, "1 good"},
    CellStyle{kMapRecovered, kRecoveredFill, "R recovered on retry"},
    CellStyle{2, kOkabeOrange, "2 header not found"},
    CellStyle{3, kOkabeBlack, "3 no sync"},
    CellStyle{4, kOkabeVermillion, "4 data block not found"},
    CellStyle{5, kOkabeYellow, "5 data checksum"},
    CellStyle{9, kOkabeReddishPurple, "9 header checksum"},
    CellStyle{11, kOkabeBlue, "B (11) disk ID mismatch"},
    CellStyle{kMapDiffers, kDiffersFill, "X differs from image"},
};
inline const CellStyle kOtherCodeStyle{0x0F, kOkabeSkyBlue, "other code"};

inline const CellStyle& StyleOf(uint8_t cell) {
  for (const CellStyle& style : kCellStyles) {
    if (style.cell == cell) return style;
  }
  return kOtherCodeStyle;
}

}  // namespace dw
