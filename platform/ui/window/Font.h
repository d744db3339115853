// The built-in 5x7 font of the window layer: one glyph a printable ASCII character.
#pragma once

#include <cstdint>

// Five columns of seven bits (bit 0 the top row) for the character c; characters outside ' '..'~' get a
// hollow box.
const uint8_t* FontGlyph(unsigned char c);
