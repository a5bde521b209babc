#include "sim/bus/drive_models.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sim {

namespace {

// Fast serial, RAM size, ROM start, VIAs, CIA, BAM at $0700, maximum track at $02AC, sectors.
constexpr DriveBoard k1541Board{false, 0x0800, 0xC000, true, false, true, false, 19};
constexpr DriveBoard k1570Board{true, 0x0800, 0xC000, true, true, true, false, 19};
constexpr DriveBoard k1571Board{true, 0x0800, 0x8000, true, true, false, true, 19};
constexpr DriveBoard k1581Board{true, 0x2000, 0x8000, false, true, false, false, 40};

// Bytes at $FF40/$FF41 as host tools read them to identify a drive. The 1541-JIFFY and
// 1541-SDOS are 1541s with replaced ROMs; their second byte is the stock 1541's. The
// 1541-OTHER is a 1541 with a replaced ROM whose byte at $FF40 ($55) names none of the models
// above: a drive a host tool cannot place.
constexpr std::array<DriveModel, 9> kModels{{
    {"1541", 0xAA, 0xAA, DriveKind::k1541, k1541Board},
    {"1541-C", 0x18, 0xCD, DriveKind::k1541, k1541Board},
    {"1541-II", 0x0F, 0xF0, DriveKind::k1541, k1541Board},
    {"1541-JIFFY", 0x85, 0xAA, DriveKind::k1541, k1541Board},
    {"1541-SDOS", 0x10, 0xAA, DriveKind::k1541, k1541Board},
    {"1570", 0xD7, 0xFE, DriveKind::k1570, k1570Board},
    {"1571", 0xAC, 0x02, DriveKind::k1571, k1571Board},
    {"1581", 0xBA, 0x01, DriveKind::k1581, k1581Board},
    {"1541-OTHER", 0x55, 0xAA, DriveKind::k1541, k1541Board},
}};

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const DriveModel> DriveModels() {
  return kModels;
}

const DriveModel* FindDriveModel(std::string_view name) {
  for (const DriveModel& model : kModels) {
    if (SameName(model.name, name)) return &model;
  }
  return nullptr;
}

}  // namespace sim
