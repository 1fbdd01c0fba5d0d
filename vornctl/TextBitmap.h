#pragma once
// Text rasterised by Qt into a one-bit mask in glBitmap layout, so GL can draw
// it in the current raster colour at the current raster position.

#include <QFont>
#include <QString>

#include <cstdint>
#include <vector>

struct TextBitmap {
    int width = 0;                  // pixels per row
    int height = 0;                 // rows
    int originX = 0;                // pixels left of the pen position (glBitmap xorig)
    int originY = 0;                // rows below the baseline (glBitmap yorig)
    int advance = 0;                // pen movement after the text
    std::vector<std::uint8_t> bits; // rows bottom to top, (width + 7) / 8 bytes each, MSB first
};

// Font options of SetTextFont, as bit flags; 0 is the plain face.
enum TextFontOption : std::int16_t {
    TextBold = 1,
    TextItalic = 2,
    TextUnderline = 4,
    TextStrikeOut = 8,
};

// `points` at `dotsPerInch` gives the pixel size of the face.
QFont makeTextFont(const QString& face, double points, std::int16_t option, double dotsPerInch);

TextBitmap renderTextBitmap(const QFont& font, const QString& text);
