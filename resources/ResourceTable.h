// The parsed contents of a resource library source: string table, dialog templates, bitmaps and icons.
//
// Source form, one statement a line, `#` starts a comment line:
//   STRINGTABLE ... END          lines of  ID "TEXT"  (escapes \n \t \" \\)
//   COLOR C RRGGBB               a palette letter for every bitmap after it (a bitmap may add its own)
//   BITMAP ID|NAME W H ... END   COLOR lines, then H lines of W palette letters; ICON is the same
//   DIALOG ID|NAME "CAPTION" X Y W H ... END
//       CONTROL ID KIND "TEXT" X Y W H [STYLE ...]
// A resource named by digits only is numbered; any other name is matched without regard to case.
#pragma once

#include "resources/RcFormat.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelnt::rc {

class ResourceTable {
public:
    // Reads a whole source. On failure the table is empty and Error() says which line was refused.
    static std::unique_ptr<ResourceTable> Parse(std::string_view source);

    [[nodiscard]] const std::string& Error() const { return m_error; }
    [[nodiscard]] const std::string* FindString(uint32_t id) const;
    [[nodiscard]] const RcDialog* FindDialog(uint32_t id) const;
    [[nodiscard]] const RcDialog* FindDialog(std::string_view name) const;
    [[nodiscard]] const RcBitmap* FindBitmap(uint32_t id) const;
    [[nodiscard]] const RcBitmap* FindBitmap(std::string_view name) const;
    [[nodiscard]] const RcBitmap* FindIcon(uint32_t id) const;
    [[nodiscard]] const RcBitmap* FindIcon(std::string_view name) const;
    [[nodiscard]] const std::map<uint32_t, std::string>& Strings() const { return m_strings; }
    [[nodiscard]] std::vector<const RcDialog*> Dialogs() const;
    [[nodiscard]] std::vector<const RcBitmap*> Bitmaps() const;
    [[nodiscard]] std::vector<const RcBitmap*> Icons() const;

private:
    struct Dialog {
        RcDialog view{};
        std::vector<RcControl> controls;
    };
    struct Image {
        RcBitmap view{};
        std::vector<uint32_t> pixels;
    };

    class Parser;

    const char* Keep(std::string text);
    static const RcBitmap* FindImage(const std::deque<Image>& images, uint32_t id);
    static const RcBitmap* FindImage(const std::deque<Image>& images, std::string_view name);

    std::string m_error;
    std::map<uint32_t, std::string> m_strings;
    std::deque<std::string> m_texts; // owns every text that a C view points at
    std::deque<Dialog> m_dialogs;
    std::deque<Image> m_bitmaps;
    std::deque<Image> m_icons;
};

// ASCII case-insensitive equality, as resource names are compared on the original platform.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace kelnt::rc
