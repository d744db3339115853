#include "resources/ResourceTable.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace kelnt::rc {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

struct KindName {
    std::string_view name;
    RcControlKind kind;
};
constexpr KindName kKinds[] = {
    {"static", kRcStatic},     {"edit", kRcEdit},         {"button", kRcButton},   {"checkbox", kRcCheckBox},
    {"radio", kRcRadio},       {"group", kRcGroup},       {"listbox", kRcListBox}, {"combobox", kRcComboBox},
    {"listview", kRcListView}, {"progress", kRcProgress}, {"custom", kRcCustom},
};

struct StyleName {
    std::string_view name;
    uint32_t style;
};
constexpr StyleName kStyles[] = {
    {"disabled", kRcStyleDisabled},
    {"hidden", kRcStyleHidden},
    {"readonly", kRcStyleReadOnly},
    {"group", kRcStyleGroup},
    {"multiple", kRcStyleMultiple},
    {"ownerdraw", kRcStyleOwnerDraw},
    {"sorted", kRcStyleSorted},
    {"password", kRcStylePassword},
    {"default", kRcStyleDefault},
    {"number", kRcStyleNumber},
    {"dropdownlist", kRcStyleDropDownList},
    {"checked", kRcStyleChecked},
};

// Splits one line into words; a quoted word keeps its spaces and has its escapes resolved.
std::optional<std::vector<std::string>> SplitWords(std::string_view line, std::string& error) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i >= line.size()) {
                        break;
                    }
                    char e = line[i++];
                    switch (e) {
                    case 'n':
                        word += '\n';
                        break;
                    case 't':
                        word += '\t';
                        break;
                    case '"':
                        word += '"';
                        break;
                    case '\\':
                        word += '\\';
                        break;
                    default:
                        error = std::string("unknown escape \\") + e;
                        return std::nullopt;
                    }
                    continue;
                }
                word += c;
            }
            if (!closed) {
                error = "unterminated text";
                return std::nullopt;
            }
            // A quoted word is marked so that "" stays distinguishable from a missing word.
            words.push_back("\"" + word);
            continue;
        }
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

bool IsQuoted(const std::string& word) {
    return !word.empty() && word[0] == '"';
}

std::optional<int64_t> Number(const std::string& word) {
    if (word.empty() || IsQuoted(word)) {
        return std::nullopt;
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) {
        return std::nullopt;
    }
    return value;
}

bool IsResourceNumber(const std::string& word) {
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

class ResourceTable::Parser {
public:
    Parser(ResourceTable& table, std::string_view source) : m_table(table), m_source(source) {}

    bool Run() {
        while (NextLine()) {
            if (m_words.empty()) {
                continue;
            }
            const std::string& head = m_words[0];
            bool ok = false;
            if (head == "STRINGTABLE") {
                ok = StringTable();
            } else if (head == "COLOR") {
                ok = Color(m_palette);
            } else if (head == "BITMAP") {
                ok = Image(m_table.m_bitmaps);
            } else if (head == "ICON") {
                ok = Image(m_table.m_icons);
            } else if (head == "DIALOG") {
                ok = DialogBlock();
            } else {
                ok = Fail("unknown statement " + head);
            }
            if (!ok) {
                return false;
            }
        }
        return m_error.empty();
    }

    std::string Error() const {
        return (m_atEnd ? std::string("end of source") : "line " + std::to_string(m_lineNumber)) + ": " +
               m_error;
    }

private:
    bool NextLine() {
        while (m_pos <= m_source.size()) {
            if (m_pos == m_source.size()) {
                m_pos++;
                m_atEnd = true;
                return false;
            }
            size_t end = m_source.find('\n', m_pos);
            if (end == std::string_view::npos) {
                end = m_source.size();
            }
            std::string_view line = m_source.substr(m_pos, end - m_pos);
            m_pos = end + 1;
            ++m_lineNumber;
            size_t first = line.find_first_not_of(" \t\r");
            if (first == std::string_view::npos || line[first] == '#') {
                m_words.clear();
                return true;
            }
            auto words = SplitWords(line, m_error);
            if (!words) {
                return false;
            }
            m_words = std::move(*words);
            return true;
        }
        m_atEnd = true;
        return false;
    }

    bool Fail(std::string what) {
        m_error = std::move(what);
        return false;
    }

    bool AtEnd() const { return m_words.size() == 1 && m_words[0] == "END"; }

    bool StringTable() {
        while (NextLine()) {
            if (m_words.empty()) {
                continue;
            }
            if (AtEnd()) {
                return true;
            }
            auto id = Number(m_words[0]);
            if (m_words.size() != 2 || !id || *id < 0 || *id > 0xFFFF || !IsQuoted(m_words[1])) {
                return Fail("expected ID \"TEXT\"");
            }
            if (!m_table.m_strings.emplace(static_cast<uint32_t>(*id), m_words[1].substr(1)).second) {
                return Fail("string " + m_words[0] + " defined twice");
            }
        }
        return Fail(m_error.empty() ? "STRINGTABLE without END" : m_error);
    }

    bool Color(std::map<char, uint32_t>& palette) {
        if (m_words.size() != 3 || m_words[1].size() != 1 || m_words[2].size() != 6) {
            return Fail("expected COLOR C RRGGBB");
        }
        uint32_t rgb = 0;
        auto [end, ec] = std::from_chars(m_words[2].data(), m_words[2].data() + 6, rgb, 16);
        if (ec != std::errc() || end != m_words[2].data() + 6) {
            return Fail("bad colour " + m_words[2]);
        }
        palette[m_words[1][0]] = rgb;
        return true;
    }

    // Sets id or name from a resource name word; refuses one already used in the same family.
    template <typename Family>
    bool Name(const std::string& word, Family& family, uint32_t& id, const char*& name) {
        if (word.empty() || IsQuoted(word)) {
            return Fail("expected a resource number or name");
        }
        id = 0;
        name = nullptr;
        if (IsResourceNumber(word)) {
            auto value = Number(word);
            if (!value || *value <= 0 || *value > 0xFFFF) {
                return Fail("resource number out of range: " + word);
            }
            id = static_cast<uint32_t>(*value);
        } else {
            name = m_table.Keep(word);
        }
        for (const auto& item : family) {
            const auto& view = item.view;
            if ((id != 0 && view.id == id) || (name && view.name && EqualNoCase(view.name, name))) {
                return Fail("resource " + word + " defined twice");
            }
        }
        return true;
    }

    bool Image(std::deque<ResourceTable::Image>& family) {
        auto width = m_words.size() == 4 ? Number(m_words[2]) : std::nullopt;
        auto height = m_words.size() == 4 ? Number(m_words[3]) : std::nullopt;
        if (!width || !height || *width <= 0 || *height <= 0 || *width > 1024 || *height > 1024) {
            return Fail("expected " + m_words[0] + " ID|NAME WIDTH HEIGHT");
        }
        ResourceTable::Image image;
        if (!Name(m_words[1], family, image.view.id, image.view.name)) {
            return false;
        }
        image.view.width = static_cast<int32_t>(*width);
        image.view.height = static_cast<int32_t>(*height);
        std::map<char, uint32_t> palette = m_palette;
        while (NextLine()) {
            if (m_words.empty()) {
                continue;
            }
            if (AtEnd()) {
                if (image.pixels.size() != static_cast<size_t>(*width * *height)) {
                    return Fail("bitmap has " + std::to_string(image.pixels.size() / *width) +
                                " rows, expected " + std::to_string(*height));
                }
                family.push_back(std::move(image));
                family.back().view.pixels = family.back().pixels.data();
                return true;
            }
            if (m_words[0] == "COLOR") {
                if (!Color(palette)) {
                    return false;
                }
                continue;
            }
            if (m_words.size() != 1 || m_words[0].size() != static_cast<size_t>(*width)) {
                return Fail("expected a row of " + std::to_string(*width) + " palette letters");
            }
            if (image.pixels.size() >= static_cast<size_t>(*width * *height)) {
                return Fail("too many rows");
            }
            for (char c : m_words[0]) {
                auto found = palette.find(c);
                if (found == palette.end()) {
                    return Fail(std::string("no colour for letter ") + c);
                }
                image.pixels.push_back(found->second);
            }
        }
        return Fail(m_error.empty() ? "BITMAP without END" : m_error);
    }

    bool Rectangle(size_t first, int32_t (&out)[4]) {
        for (size_t i = 0; i < 4; ++i) {
            auto value = Number(m_words[first + i]);
            if (!value || *value < -32768 || *value > 32767) {
                return Fail("bad coordinate " + m_words[first + i]);
            }
            out[i] = static_cast<int32_t>(*value);
        }
        return true;
    }

    bool DialogBlock() {
        if (m_words.size() != 7 || !IsQuoted(m_words[2])) {
            return Fail("expected DIALOG ID|NAME \"CAPTION\" X Y W H");
        }
        Dialog dialog;
        int32_t rect[4];
        if (!Name(m_words[1], m_table.m_dialogs, dialog.view.id, dialog.view.name) || !Rectangle(3, rect)) {
            return false;
        }
        dialog.view.caption = m_table.Keep(m_words[2].substr(1));
        dialog.view.x = rect[0];
        dialog.view.y = rect[1];
        dialog.view.width = rect[2];
        dialog.view.height = rect[3];
        while (NextLine()) {
            if (m_words.empty()) {
                continue;
            }
            if (AtEnd()) {
                m_table.m_dialogs.push_back(std::move(dialog));
                auto& kept = m_table.m_dialogs.back();
                kept.view.controlCount = static_cast<uint32_t>(kept.controls.size());
                kept.view.controls = kept.controls.data();
                return true;
            }
            if (!Control(dialog)) {
                return false;
            }
        }
        return Fail(m_error.empty() ? "DIALOG without END" : m_error);
    }

    bool Control(Dialog& dialog) {
        if (m_words.size() < 8 || m_words[0] != "CONTROL" || !IsQuoted(m_words[3])) {
            return Fail("expected CONTROL ID KIND \"TEXT\" X Y W H [STYLE...]");
        }
        RcControl control{};
        // -1 is the platform's id for labels that nothing addresses; it is kept as the 16-bit 0xFFFF.
        auto id = Number(m_words[1]);
        if (!id || *id < -1 || *id > 0xFFFF) {
            return Fail("bad control id " + m_words[1]);
        }
        control.id = static_cast<uint32_t>(*id) & 0xFFFFu;
        auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                 [&](const KindName& k) { return k.name == m_words[2]; });
        if (kind == std::end(kKinds)) {
            return Fail("unknown control kind " + m_words[2]);
        }
        control.kind = kind->kind;
        int32_t rect[4];
        if (!Rectangle(4, rect)) {
            return false;
        }
        control.x = rect[0];
        control.y = rect[1];
        control.width = rect[2];
        control.height = rect[3];
        for (size_t i = 8; i < m_words.size(); ++i) {
            auto style = std::find_if(std::begin(kStyles), std::end(kStyles),
                                      [&](const StyleName& s) { return s.name == m_words[i]; });
            if (style == std::end(kStyles)) {
                return Fail("unknown style " + m_words[i]);
            }
            control.styles |= style->style;
        }
        // Static texts may repeat an id (the platform's -1 for labels); every other control is addressed
        // by its id, so a second one with the same id would be unreachable.
        if (control.kind != kRcStatic && control.kind != kRcGroup) {
            for (const auto& other : dialog.controls) {
                if (other.id == control.id && other.kind != kRcStatic && other.kind != kRcGroup) {
                    return Fail("control " + m_words[1] + " defined twice");
                }
            }
        }
        control.text = m_table.Keep(m_words[3].substr(1));
        dialog.controls.push_back(control);
        return true;
    }

    ResourceTable& m_table;
    std::string_view m_source;
    size_t m_pos = 0;
    int m_lineNumber = 0;
    bool m_atEnd = false;
    std::vector<std::string> m_words;
    std::map<char, uint32_t> m_palette;
    std::string m_error;
};

std::unique_ptr<ResourceTable> ResourceTable::Parse(std::string_view source) {
    auto table = std::unique_ptr<ResourceTable>(new ResourceTable());
    Parser parser(*table, source);
    if (!parser.Run()) {
        std::string error = parser.Error();
        table = std::unique_ptr<ResourceTable>(new ResourceTable());
        table->m_error = std::move(error);
    }
    return table;
}

const char* ResourceTable::Keep(std::string text) {
    m_texts.push_back(std::move(text));
    return m_texts.back().c_str();
}

const std::string* ResourceTable::FindString(uint32_t id) const {
    auto found = m_strings.find(id);
    return found == m_strings.end() ? nullptr : &found->second;
}

const RcDialog* ResourceTable::FindDialog(uint32_t id) const {
    for (const auto& dialog : m_dialogs) {
        if (id != 0 && dialog.view.id == id) {
            return &dialog.view;
        }
    }
    return nullptr;
}

const RcDialog* ResourceTable::FindDialog(std::string_view name) const {
    for (const auto& dialog : m_dialogs) {
        if (dialog.view.name && EqualNoCase(dialog.view.name, name)) {
            return &dialog.view;
        }
    }
    return nullptr;
}

const RcBitmap* ResourceTable::FindImage(const std::deque<Image>& images, uint32_t id) {
    for (const auto& image : images) {
        if (id != 0 && image.view.id == id) {
            return &image.view;
        }
    }
    return nullptr;
}

const RcBitmap* ResourceTable::FindImage(const std::deque<Image>& images, std::string_view name) {
    for (const auto& image : images) {
        if (image.view.name && EqualNoCase(image.view.name, name)) {
            return &image.view;
        }
    }
    return nullptr;
}

const RcBitmap* ResourceTable::FindBitmap(uint32_t id) const {
    return FindImage(m_bitmaps, id);
}
const RcBitmap* ResourceTable::FindBitmap(std::string_view name) const {
    return FindImage(m_bitmaps, name);
}
const RcBitmap* ResourceTable::FindIcon(uint32_t id) const {
    return FindImage(m_icons, id);
}
const RcBitmap* ResourceTable::FindIcon(std::string_view name) const {
    return FindImage(m_icons, name);
}

std::vector<const RcDialog*> ResourceTable::Dialogs() const {
    std::vector<const RcDialog*> out;
    for (const auto& dialog : m_dialogs) {
        out.push_back(&dialog.view);
    }
    return out;
}

std::vector<const RcBitmap*> ResourceTable::Bitmaps() const {
    std::vector<const RcBitmap*> out;
    for (const auto& image : m_bitmaps) {
        out.push_back(&image.view);
    }
    return out;
}

std::vector<const RcBitmap*> ResourceTable::Icons() const {
    std::vector<const RcBitmap*> out;
    for (const auto& image : m_icons) {
        out.push_back(&image.view);
    }
    return out;
}

} // namespace kelnt::rc
