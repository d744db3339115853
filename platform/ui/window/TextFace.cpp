#include "platform/ui/window/TextFace.h"

#include "platform/ui/window/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <utility>

namespace uiwin {
namespace {

FT_Library AsLibrary(void* library) {
    return static_cast<FT_Library>(library);
}

FT_Face AsFace(void* face) {
    return static_cast<FT_Face>(face);
}

std::string FontFile() {
    const char* chosen = std::getenv("KELNT_FONT");
    return chosen != nullptr && *chosen != '\0' ? chosen : kDefaultFontFile;
}

// 26.6 fixed point to whole pixels, rounded up for extents so that nothing of a glyph is cut.
int Ceil26(FT_Pos value) {
    return static_cast<int>((value + 63) >> 6);
}

} // namespace

TextFace& TextFace::Default() {
    static TextFace face(FontFile());
    return face;
}

TextFace::TextFace(std::string file) : m_file(std::move(file)) {
    m_lineHeight = kFontCellHeight;
    m_ascent = 8;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        m_problem = "the font library FreeType cannot start";
        return;
    }
    m_library = library;
    FT_Face face = nullptr;
    if (FT_New_Face(library, m_file.c_str(), 0, &face) != 0) {
        m_problem = "the font file " + m_file +
                    " is missing or unreadable (install the Debian package fonts-dejavu-core, or name a "
                    "TrueType file in KELNT_FONT)";
        return;
    }
    if (FT_Set_Pixel_Sizes(face, 0, kTextPixelSize) != 0) {
        FT_Done_Face(face);
        m_problem =
            "the font file " + m_file + " cannot be set to " + std::to_string(kTextPixelSize) + " pixels";
        return;
    }
    m_face = face;
    m_ascent = Ceil26(face->size->metrics.ascender);
    m_lineHeight = m_ascent + Ceil26(-face->size->metrics.descender);
}

TextFace::~TextFace() {
    for (auto& [file, face] : m_fallbacks) {
        if (face != nullptr) {
            FT_Done_Face(AsFace(face));
        }
    }
    if (m_fontconfig != nullptr) {
        FcConfigDestroy(static_cast<FcConfig*>(m_fontconfig));
    }
    if (m_face != nullptr) {
        FT_Done_Face(AsFace(m_face));
    }
    if (m_library != nullptr) {
        FT_Done_FreeType(AsLibrary(m_library));
    }
}

const GlyphImage& TextFace::Glyph(char32_t character) {
    auto found = m_glyphs.find(character);
    if (found != m_glyphs.end()) {
        return found->second;
    }
    GlyphImage image = IsOutline() ? Rasterise(character) : BuiltIn(character);
    return m_glyphs.emplace(character, std::move(image)).first->second;
}

int TextFace::Measure(std::u32string_view text) {
    int width = 0;
    for (char32_t c : text) {
        width += Glyph(c).advance;
    }
    return width;
}

GlyphImage TextFace::Rasterise(char32_t character) {
    FT_Face face = AsFace(m_face);
    GlyphImage image;
    FT_UInt index = FT_Get_Char_Index(face, character);
    // Control characters have no picture in any font; asking the machine's fonts for them would only cost.
    bool printable = character >= 0x20 && (character < 0x7F || character > 0x9F);
    if (index == 0 && printable) {
        if (void* other = FallbackFor(character)) {
            face = AsFace(other);
            index = FT_Get_Char_Index(face, character);
        }
    }
    // A character no font on the machine has shows the face's own "missing" box (glyph 0), as a person
    // expects.
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0 ||
        face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        return BuiltIn(character);
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    image.left = slot->bitmap_left;
    image.top = slot->bitmap_top;
    image.width = static_cast<int>(bitmap.width);
    image.rows = static_cast<int>(bitmap.rows);
    image.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    image.coverage.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.rows));
    for (int row = 0; row < image.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        for (int col = 0; col < image.width; ++col) {
            image.coverage[static_cast<size_t>(row) * image.width + col] = line[col];
        }
    }
    return image;
}

void* TextFace::FallbackFor(char32_t character) {
    if (!m_fontconfigTried) {
        m_fontconfigTried = true;
        m_fontconfig = FcInitLoadConfigAndFonts();
    }
    auto* config = static_cast<FcConfig*>(m_fontconfig);
    if (config == nullptr) {
        return nullptr;
    }
    // The machine's sans-serif fonts first, in fontconfig's order of preference, and of them the first
    // that has the character and can be drawn at the face's size.
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, static_cast<FcChar32>(character));
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    void* found = nullptr;
    for (int i = 0; fonts != nullptr && i < fonts->nfont && found == nullptr; ++i) {
        FcPattern* font = fonts->fonts[i];
        FcCharSet* has = nullptr;
        FcChar8* file = nullptr;
        int faceIndex = 0;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &has) != FcResultMatch ||
            FcCharSetHasChar(has, static_cast<FcChar32>(character)) == FcFalse ||
            FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) {
            continue;
        }
        if (FcPatternGetInteger(font, FC_INDEX, 0, &faceIndex) != FcResultMatch) {
            faceIndex = 0;
        }
        std::string key = reinterpret_cast<const char*>(file) + ("#" + std::to_string(faceIndex));
        auto known = m_fallbacks.find(key);
        if (known == m_fallbacks.end()) {
            const char* path = reinterpret_cast<const char*>(file);
            FT_Face other = nullptr;
            if (FT_New_Face(AsLibrary(m_library), path, faceIndex, &other) != 0) {
                other = nullptr;
            } else if (FT_Set_Pixel_Sizes(other, 0, kTextPixelSize) != 0) {
                FT_Done_Face(other);
                other = nullptr;
            }
            known = m_fallbacks.emplace(key, other).first;
        }
        if (known->second != nullptr && FT_Get_Char_Index(AsFace(known->second), character) != 0) {
            found = known->second;
        }
    }
    if (fonts != nullptr) {
        FcFontSetDestroy(fonts);
    }
    FcCharSetDestroy(wanted);
    FcPatternDestroy(pattern);
    return found;
}

GlyphImage TextFace::BuiltIn(char32_t character) {
    GlyphImage image;
    const uint8_t* glyph = FontGlyph(character < 0x80 ? static_cast<unsigned char>(character) : 0xFF);
    image.left = 0;
    image.top = 7; // the built-in cell's baseline lies under its seventh row
    image.width = 5;
    image.rows = 7;
    image.advance = kFontCellWidth;
    image.coverage.resize(35);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
            image.coverage[static_cast<size_t>(row) * 5 + col] = (glyph[col] & (1 << row)) != 0 ? 255 : 0;
        }
    }
    return image;
}

std::u32string DecodeText(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80             ? 1
                     : (lead & 0xE0) == 0xC0 ? 2
                     : (lead & 0xF0) == 0xE0 ? 3
                     : (lead & 0xF8) == 0xF0 ? 4
                                             : 0;
        char32_t value = lead;
        bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
        if (valid && length > 1) {
            value = lead & (0x7F >> length);
            for (int k = 1; k < length; ++k) {
                auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
                if ((next & 0xC0) != 0x80) {
                    valid = false;
                    break;
                }
                value = (value << 6) | (next & 0x3F);
            }
            // Overlong forms and surrogates are not characters.
            static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
            valid =
                valid && value >= kLeast[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        }
        if (!valid) {
            out += static_cast<char32_t>(lead);
            ++i;
            continue;
        }
        out += value;
        i += static_cast<size_t>(length);
    }
    return out;
}

std::string FontProblem() {
    return TextFace::Default().Problem();
}

} // namespace uiwin
