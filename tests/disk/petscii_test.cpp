// Every PETSCII byte in both character sets, against the computer itself: its screen prints a
// byte through the screen code the KERNAL gives it, and the character ROM draws that code in the
// set in use. The glyphs below are the ROM's, written as the keys' legends name them.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "disk/petscii.h"

namespace dw {
namespace {

// The character ROM's 128 screen codes, 32 to a row. Rows 2 and 3 are the graphics: in the upper
// case set the front of the shifted keys (Shift+A the spade, Shift+S the heart, ...) and of the
// Commodore keys (C=+K the left quarter block, ...), in the lower case set the capitals and the
// few graphics that set keeps.
constexpr std::u32string_view kUpperRom[4] = {
    U"@ABCDEFGHIJKLMNOPQRSTUVWXYZ[£]↑←",
    U" !\"#$%&'()*+,-./0123456789:;<=>?",
    U"─♠│─\U0001FB77\U0001FB76\U0001FB7A\U0001FB71\U0001FB74╮╰╯\U0001FB7C╲╱\U0001FB7D"
    U"\U0001FB7E●\U0001FB7B♥\U0001FB70╭╳○♣\U0001FB75♦┼\U0001FB8C│π◥",
    U"\u00A0▌▄▔▁▏▒▕\U0001FB8F◤\U0001FB87├▗└┐▂┌┴┬┤▎▍\U0001FB88\U0001FB82\U0001FB83▃"
    U"\U0001FB7F▖▝┘▘▚",
};
constexpr std::u32string_view kLowerRom[4] = {
    U"@abcdefghijklmnopqrstuvwxyz[£]↑←",
    U" !\"#$%&'()*+,-./0123456789:;<=>?",
    U"─ABCDEFGHIJKLMNOPQRSTUVWXYZ┼\U0001FB8C│\U0001FB96\U0001FB98",
    U"\u00A0▌▄▔▁▏▒▕\U0001FB8F\U0001FB99\U0001FB87├▗└┐▂┌┴┬┤▎▍\U0001FB88\U0001FB82\U0001FB83▃"
    U"✓▖▝┘▘▚",
};

// The KERNAL's print routine: the screen code of a printable byte; -1 for a control code.
int ScreenCode(int byte) {
  if (byte < 0x20 || (byte >= 0x80 && byte < 0xA0)) return -1;
  if (byte < 0x40) return byte;         // $20-$3F
  if (byte < 0x60) return byte - 0x40;  // $40-$5F: letters
  if (byte < 0x80) return byte - 0x20;  // $60-$7F: printed as $C0-$DF
  if (byte < 0xC0) return byte - 0x40;  // $A0-$BF
  if (byte < 0xE0) return byte - 0x80;  // $C0-$DF
  if (byte < 0xFF) return byte - 0x80;  // $E0-$FE: printed as $A0-$BE
  return 0x5E;                          // $FF: printed as $DE
}

TEST(Petscii, EveryByteInBothSetsIsWhatTheScreenShows) {
  for (int byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    const int screen = ScreenCode(byte);
    const char32_t upper =
        PetsciiCharacter(static_cast<uint8_t>(byte), CharacterSet::kUpperGraphics);
    const char32_t lower = PetsciiCharacter(static_cast<uint8_t>(byte), CharacterSet::kLowerUpper);
    if (screen < 0) {
      EXPECT_EQ(upper, U'\uFFFD');
      EXPECT_EQ(lower, U'\uFFFD');
      continue;
    }
    ASSERT_EQ(kUpperRom[screen / 32].size(), 32u);
    ASSERT_EQ(kLowerRom[screen / 32].size(), 32u);
    EXPECT_EQ(upper, kUpperRom[screen / 32][static_cast<size_t>(screen % 32)]);
    EXPECT_EQ(lower, kLowerRom[screen / 32][static_cast<size_t>(screen % 32)]);
    // Never a Latin-1 letter, never a control character of the PC.
    for (char32_t c : {upper, lower}) {
      EXPECT_FALSE(c >= 0xC0 && c <= 0xFF) << std::hex << static_cast<uint32_t>(c);
      EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c < 0xA0)) << std::hex << static_cast<uint32_t>(c);
    }
  }
  // What a cc1541 disk named "TEST DISK" holds: shifted letters, graphics in the first set.
  EXPECT_EQ(PetsciiToUtf8("\xD4\xC5\xD3\xD4 \xC4\xC9\xD3\xCB", CharacterSet::kLowerUpper, false),
            "TEST DISK");
  EXPECT_EQ(PetsciiToUtf8("TEST", CharacterSet::kLowerUpper, false), "test");
  EXPECT_EQ(PetsciiToUtf8("\xD3\xC9 \xFF", CharacterSet::kUpperGraphics, false), "♥╮ π");
}

TEST(Petscii, TheWidelyDrawnFormHasNoLegacyComputingSymbol) {
  for (int byte = 0; byte < 256; ++byte) {
    for (CharacterSet set : {CharacterSet::kUpperGraphics, CharacterSet::kLowerUpper}) {
      const char32_t c = PetsciiCharacter(static_cast<uint8_t>(byte), set);
      const char32_t wide = WidelyDrawnSymbol(c);
      EXPECT_TRUE(wide < 0x1FB00 || wide > 0x1FBFF) << byte;
      // Only the legacy symbols are replaced, and by a symbol, never by a letter.
      if (c < 0x1FB00) {
        EXPECT_EQ(wide, c) << byte;
      } else {
        EXPECT_TRUE(wide >= 0x2300 && wide < 0x2600) << byte;
      }
    }
  }
  EXPECT_EQ(PetsciiToUtf8("\xD4\xC5", CharacterSet::kUpperGraphics, true), "▏⎺");
}

TEST(Petscii, ThePcNameHasAsciiLettersForTheLettersOfEitherSet) {
  EXPECT_EQ(PetsciiPcName("GAME 2"), "GAME 2");
  EXPECT_EQ(PetsciiPcName("\xD4\xC5\xD3\xD4 \xC4\xC9\xD3\xCB"), "TEST DISK");
  EXPECT_EQ(PetsciiPcName("\xC8\x45LLO-\xA0\xD1\xFF\x7F"), "HELLO- Q__");
  // The log tells names the same way, keeping what a file name may not hold.
  EXPECT_EQ(PetsciiAscii("A/*\xD3\x12\xA0"), "A/*S_ ");
  // A name the PC cannot take as it is offers none: the forbidden characters, control codes.
  for (std::string_view name : {"A/B", "A:B", "A\\B", "A\x12", "A\x93"}) {
    EXPECT_EQ(PetsciiPcName(name), "") << name;
  }
}

}  // namespace
}  // namespace dw
