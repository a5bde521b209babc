#include "disk/petscii.h"

#include <array>
#include <span>
#include <string_view>
#include <utility>

namespace dw {

namespace {

// What the screen shows for every byte, in rows of 32 bytes. Control codes ($00-$1F, $80-$9F)
// are carried out, not shown, and stand as U+FFFD.
constexpr char32_t kNotShown = U'\uFFFD';
constexpr std::u32string_view kDigitsAndSigns = U" !\"#$%&'()*+,-./0123456789:;<=>?";
// The upper case and graphics set's letters, and the graphics on the front of the shifted keys
// (Shift+A the spade, ...).
constexpr std::u32string_view kUpperLetters = U"@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\u00A3]\u2191\u2190";
constexpr std::u32string_view kShiftedGraphics =
    U"\u2500\u2660\u2502\u2500\U0001FB77\U0001FB76\U0001FB7A\U0001FB71"
    U"\U0001FB74\u256E\u2570\u256F\U0001FB7C\u2572\u2571\U0001FB7D"
    U"\U0001FB7E\u25CF\U0001FB7B\u2665\U0001FB70\u256D\u2573\u25CB"
    U"\u2663\U0001FB75\u2666\u253C\U0001FB8C\u2502\u03C0\u25E5";
// The lower and upper case set's letters, and its capitals with the graphics it keeps.
constexpr std::u32string_view kLowerLetters = U"@abcdefghijklmnopqrstuvwxyz[\u00A3]\u2191\u2190";
constexpr std::u32string_view kCapitals =
    U"\u2500ABCDEFGHIJKLMNOPQRSTUVWXYZ\u253C\U0001FB8C\u2502\U0001FB96\U0001FB98";
// The shifted space and the graphics of the Commodore key (C=+K the left quarter block, ...),
// as the upper case set draws them.
constexpr std::u32string_view kCommodoreGraphics =
    U"\u00A0\u258C\u2584\u2594\u2581\u258F\u2592\u2595"
    U"\U0001FB8F\u25E4\U0001FB87\u251C\u2597\u2514\u2510\u2582"
    U"\u250C\u2534\u252C\u2524\u258E\u258D\U0001FB88\U0001FB82"
    U"\U0001FB83\u2583\U0001FB7F\u2596\u259D\u2518\u2598\u259A";
// Two of them the lower case set draws otherwise.
constexpr std::array<std::pair<uint8_t, char32_t>, 2> kLowerSetCommodoreGraphics{{
    {0xA9, U'\U0001FB99'},
    {0xBA, U'\u2713'},
}};

using Table = std::array<char32_t, 256>;

// The computer prints $60-$7F as the same characters as $C0-$DF, $E0-$FE as $A0-$BE and $FF as
// $DE: the rows of $60 and $E0 repeat those of $C0 and $A0.
constexpr Table BuildTable(std::u32string_view letters, std::u32string_view shifted,
                           std::span<const std::pair<uint8_t, char32_t>> ownCommodoreGraphics) {
  const std::array<std::pair<size_t, std::u32string_view>, 6> rows{{
      {0x20, kDigitsAndSigns},
      {0x40, letters},
      {0x60, shifted},
      {0xA0, kCommodoreGraphics},
      {0xC0, shifted},
      {0xE0, kCommodoreGraphics},
  }};
  Table table{};
  table.fill(kNotShown);
  for (const auto& [first, characters] : rows) {
    for (size_t i = 0; i < characters.size(); ++i) table[first + i] = characters[i];
  }
  for (const auto& [byte, character] : ownCommodoreGraphics) {
    table[byte] = character;
    table[byte + 0x40u] = character;
  }
  table[0xFF] = table[0xDE];
  return table;
}

constexpr Table kUpperGraphicsSet = BuildTable(kUpperLetters, kShiftedGraphics, {});
constexpr Table kLowerUpperSet = BuildTable(kLowerLetters, kCapitals, kLowerSetCommodoreGraphics);

// The legacy computing symbols of the tables, each with the nearest symbol of the long-standing
// blocks: a line near the cell's edge as the scan line or edge block there, a corner of the
// cell's edges as a floor or ceiling bracket, a shaded half or a fill pattern as a shade.
constexpr std::array<std::pair<char32_t, char32_t>, 21> kWidelyDrawn{{
    {U'\U0001FB70', U'\u258F'},  // vertical line, second column: left one eighth block
    {U'\U0001FB71', U'\u2502'},  // vertical line, third column
    {U'\U0001FB74', U'\u2502'},  // vertical line, sixth column
    {U'\U0001FB75', U'\u2595'},  // vertical line, seventh column: right one eighth block
    {U'\U0001FB76', U'\u23BA'},  // horizontal line, second row: scan line 1
    {U'\U0001FB77', U'\u23BB'},  // horizontal line, third row: scan line 3
    {U'\U0001FB7A', U'\u23BC'},  // horizontal line, sixth row: scan line 7
    {U'\U0001FB7B', U'\u23BD'},  // horizontal line, seventh row: scan line 9
    {U'\U0001FB7C', U'\u230A'},  // left and lower edge: left floor
    {U'\U0001FB7D', U'\u2308'},  // left and upper edge: left ceiling
    {U'\U0001FB7E', U'\u2309'},  // right and upper edge: right ceiling
    {U'\U0001FB7F', U'\u230B'},  // right and lower edge: right floor
    {U'\U0001FB82', U'\u2580'},  // upper one quarter block: upper half block
    {U'\U0001FB83', U'\u2580'},  // upper three eighths block: upper half block
    {U'\U0001FB87', U'\u2590'},  // right one quarter block: right half block
    {U'\U0001FB88', U'\u2590'},  // right three eighths block: right half block
    {U'\U0001FB8C', U'\u2592'},  // left half medium shade: medium shade
    {U'\U0001FB8F', U'\u2592'},  // lower half medium shade: medium shade
    {U'\U0001FB96', U'\u2592'},  // inverse checker board: medium shade
    {U'\U0001FB98', U'\u25A7'},  // upper left to lower right fill: square with that fill
    {U'\U0001FB99', U'\u25A8'},  // upper right to lower left fill: square with that fill
}};

// Characters a PC file name may not hold, besides control codes.
constexpr std::string_view kForbiddenInPcNames = "\"*/:<>?\\|";

void AppendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    text.push_back(static_cast<char>(0xC0 | (c >> 6)));
    text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    text.push_back(static_cast<char>(0xE0 | (c >> 12)));
    text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    text.push_back(static_cast<char>(0xF0 | (c >> 18)));
    text.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

char32_t PetsciiCharacter(uint8_t byte, CharacterSet set) {
  return (set == CharacterSet::kLowerUpper ? kLowerUpperSet : kUpperGraphicsSet)[byte];
}

char32_t WidelyDrawnSymbol(char32_t symbol) {
  for (const auto& [legacy, wide] : kWidelyDrawn) {
    if (legacy == symbol) return wide;
  }
  return symbol;
}

std::string PetsciiToUtf8(std::string_view bytes, CharacterSet set, bool widelyDrawn) {
  std::string text;
  for (char byte : bytes) {
    const char32_t c = PetsciiCharacter(static_cast<uint8_t>(byte), set);
    AppendUtf8(text, widelyDrawn ? WidelyDrawnSymbol(c) : c);
  }
  return text;
}

std::string PetsciiAscii(std::string_view name) {
  std::string ascii;
  for (char byte : name) {
    const auto code = static_cast<uint8_t>(byte);
    const char32_t lower = PetsciiCharacter(code, CharacterSet::kLowerUpper);
    if (code >= 0x20 && code < 0x7F) {
      // Printable ASCII bytes keep their characters: a plain name stays as it is.
      ascii.push_back(byte);
    } else if (code >= 0x80 && lower >= U'A' && lower <= U'Z') {
      ascii.push_back(static_cast<char>(lower));
    } else {
      ascii.push_back(lower == U'\u00A0' ? ' ' : '_');
    }
  }
  return ascii;
}

std::string PetsciiPcName(std::string_view name) {
  for (char byte : name) {
    if (PetsciiCharacter(static_cast<uint8_t>(byte), CharacterSet::kUpperGraphics) == U'\uFFFD' ||
        kForbiddenInPcNames.find(byte) != std::string_view::npos) {
      return std::string();
    }
  }
  return PetsciiAscii(name);
}

}  // namespace dw
