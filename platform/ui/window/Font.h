// The built-in 5x7 font of the window layer: one glyph a printable ASCII character. It stands in for the
// real typeface (TextFace.h) only when the font file cannot be read.
#pragma once

#include <cstdint>

// The built-in font's character cell.
constexpr int kFontCellWidth = 6;
constexpr int kFontCellHeight = 9;

// Five columns of seven bits (bit 0 the top row) for the character c; characters outside ' '..'~' get a
// hollow box.
const uint8_t* FontGlyph(unsigned char c);
