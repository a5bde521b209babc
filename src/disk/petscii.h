#pragma once
// The drive's names are PETSCII, the character codes of the Commodore computers. The computer's
// screen shows a byte in one of two character sets, switched with Shift and the Commodore key:
// upper case and graphics (the one it starts with: $41-$5A are A-Z, $C1-$DA the graphics on the
// front of the keys) and lower and upper case ($41-$5A are a-z, $C1-$DA are A-Z). A listing is
// shown as that screen would show it, never with the PC's characters of the same codes.

#include <cstdint>
#include <string>
#include <string_view>

namespace dw {

enum class CharacterSet { kUpperGraphics, kLowerUpper };

// What the screen shows for the byte, as the nearest Unicode character. Control codes ($00-$1F,
// $80-$9F), which the screen carries out rather than shows, give U+FFFD.
char32_t PetsciiCharacter(uint8_t byte, CharacterSet set);

// For a symbol of Unicode's legacy computing block, which few fonts have yet, the nearest one of
// the blocks nearly every font has (box drawing, blocks, shapes); any other character as it is.
char32_t WidelyDrawnSymbol(char32_t symbol);

// The bytes as UTF-8, each as PetsciiCharacter shows it; with widelyDrawn the legacy computing
// symbols replaced by WidelyDrawnSymbol.
std::string PetsciiToUtf8(std::string_view bytes, CharacterSet set, bool widelyDrawn);

// A CBM name in plain ASCII, for the log and for PC file names: printable ASCII as it is, the
// letters of either set as the capitals A-Z, a shifted space as a blank, anything else as '_'.
std::string PetsciiAscii(std::string_view name);

// The PC file name offered for a CBM file name: its PetsciiAscii form; empty (no name offered)
// when the name holds a control code or a character that a PC file name may not contain.
std::string PetsciiPcName(std::string_view name);

}  // namespace dw
