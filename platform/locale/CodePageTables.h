// Unicode code points of the single-byte code pages the locale library converts to.
#pragma once

#include <cstdint>

// The code point of each byte 0x80..0xFF of a page, 0 where the page has no character; nullptr for a page
// without a table. Bytes below 0x80 are ASCII in every supported page (US-ASCII stops there).
const uint16_t* UpperHalfOf(uint32_t codePage);
bool IsSupportedCodePage(uint32_t codePage);
