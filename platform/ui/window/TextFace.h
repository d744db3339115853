// The typeface that every text call of the window layer draws and measures with: DejaVu Sans through
// FreeType, anti-aliased. Controls are laid out for a font of about 11 pixels, so the face is set to that
// size. When the font file cannot be read the built-in 5x7 font stands in, so that dialogs still work and
// measure; `render` refuses to write a picture then (see FontProblem), since a picture in the stand-in font
// would pass for the real look. A character the face lacks (Chinese, Japanese ...) is drawn from another
// font on the machine that has it, found through fontconfig, at the same size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace uiwin {

// Where the font is looked for: $KELNT_FONT when set, else Debian's fonts-dejavu-core file.
constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kTextPixelSize = 10;

// One character's picture: coverage 0..255 per pixel, placed relative to the pen position on the baseline.
struct GlyphImage {
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int width = 0;
    int rows = 0;
    int advance = 0; // where the next character starts
    std::vector<uint8_t> coverage;
};

class TextFace {
public:
    // The face of the process, loaded on first use.
    static TextFace& Default();

    [[nodiscard]] bool IsOutline() const { return m_face != nullptr; }
    // Empty when the font was loaded; otherwise why not, for an operator to act on.
    [[nodiscard]] const std::string& Problem() const { return m_problem; }
    [[nodiscard]] const std::string& File() const { return m_file; }

    [[nodiscard]] int LineHeight() const { return m_lineHeight; }
    [[nodiscard]] int Ascent() const { return m_ascent; }
    // The width of the text's line, in pixels.
    [[nodiscard]] int Measure(std::u32string_view text);
    // The glyph stays valid as long as the face.
    const GlyphImage& Glyph(char32_t character);

    TextFace(const TextFace&) = delete;
    TextFace& operator=(const TextFace&) = delete;
    ~TextFace();

private:
    explicit TextFace(std::string file);
    GlyphImage Rasterise(char32_t character);
    static GlyphImage BuiltIn(char32_t character);
    // A face of another font that has the character, loaded once a file; null when no font has it.
    void* FallbackFor(char32_t character);

    std::string m_file;
    std::string m_problem;
    void* m_library = nullptr; // FT_Library
    void* m_face = nullptr;    // FT_Face
    int m_lineHeight = 0;
    int m_ascent = 0;
    std::unordered_map<char32_t, GlyphImage> m_glyphs; // node-based: references stay valid
    void* m_fontconfig = nullptr;                      // FcConfig, made on the first missing character
    bool m_fontconfigTried = false;
    std::unordered_map<std::string, void*> m_fallbacks; // "file#index" -> FT_Face (null: unusable)
};

// UTF-8 to characters; a byte that does not start a valid sequence stands for itself (Latin-1), so that no
// text a module hands over is dropped.
std::u32string DecodeText(std::string_view text);

// Why a picture cannot be drawn in the real font, or "" when it can.
std::string FontProblem();

} // namespace uiwin
