#include "TextBitmap.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

QFont makeTextFont(const QString& face, double points, std::int16_t option, double dotsPerInch)
{
    QFont font(face);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dotsPerInch / 72.0))));
    font.setBold(option & TextBold);
    font.setItalic(option & TextItalic);
    font.setUnderline(option & TextUnderline);
    font.setStrikeOut(option & TextStrikeOut);
    // Bitmap text has no partial coverage: render hard edges, threshold later.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

TextBitmap renderTextBitmap(const QFont& font, const QString& text)
{
    TextBitmap result;
    if (text.isEmpty())
        return result;
    const QFontMetrics metrics(font);
    const QRect ink = metrics.boundingRect(text);
    result.advance = metrics.horizontalAdvance(text);
    result.originX = std::max(0, -ink.left()); // italic overhang left of the pen
    result.originY = metrics.descent();
    result.width = result.originX + std::max(result.advance, ink.right() + 1);
    result.height = metrics.ascent() + metrics.descent();

    QImage image(result.width, result.height, QImage::Format_Grayscale8);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(result.originX, metrics.ascent(), text);
    }

    const int rowBytes = (result.width + 7) / 8;
    result.bits.assign(static_cast<std::size_t>(rowBytes) * result.height, 0);
    for (int row = 0; row < result.height; ++row) {
        const uchar* source = image.constScanLine(result.height - 1 - row); // GL rows run upwards
        std::uint8_t* target = result.bits.data() + static_cast<std::size_t>(row) * rowBytes;
        for (int x = 0; x < result.width; ++x)
            if (source[x] >= 128)
                target[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return result;
}
