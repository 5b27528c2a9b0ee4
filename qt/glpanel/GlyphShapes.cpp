// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/glpanel/GlyphShapes.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "painting/GlyphLists.h"
#include "platform/Cp1251.h"

namespace glpanel {
namespace {

QFont qtFont(const FontSpec& face, int pixelSize) {
    QFont f(QString::fromStdString(face.name));
    f.setPixelSize(pixelSize);
    f.setBold(face.bold);
    f.setItalic(face.italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QChar charOf(int code) { return QChar(static_cast<char16_t>(cp1251::toCodePoint(static_cast<std::uint8_t>(code)))); }

display::BitmapGlyph bitmapOf(const FontSpec& face, int code) {
    const QFont font = qtFont(face, std::max(1, std::abs(face.height)));
    const QFontMetrics fm(font);
    display::BitmapGlyph g;
    const QChar ch = charOf(code);
    g.advance = static_cast<float>(fm.horizontalAdvance(ch));
    const QRect br = fm.boundingRect(ch);
    const int left = std::min(0, br.left());
    const int right = std::max(fm.horizontalAdvance(ch), br.right() + 1);
    g.width = std::max(1, right - left);
    g.height = std::max(1, fm.ascent() + fm.descent());
    g.xorig = static_cast<float>(-left);
    g.yorig = static_cast<float>(fm.descent());
    QImage img(g.width, g.height, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        QFont plain = font;
        plain.setStyleStrategy(QFont::NoAntialias);
        p.setFont(plain);
        p.setPen(Qt::black);
        p.drawText(-left, fm.ascent(), QString(ch));
    }
    const int stride = (g.width + 7) / 8;
    g.rows.assign(static_cast<std::size_t>(stride * g.height), 0);
    for (int y = 0; y < g.height; ++y) {
        const int row = g.height - 1 - y;  // OpenGL bitmaps run bottom-up
        for (int x = 0; x < g.width; ++x) {
            if (qGray(img.pixel(x, y)) < 128)
                g.rows[static_cast<std::size_t>(row * stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return g;
}

display::GlyphOutline outlineOf(const FontSpec& face, int code) {
    constexpr int kEm = 96;  // outlines flattened at this size, scaled to a unit em
    display::GlyphOutline g;
    const QFont font = qtFont(face, kEm);
    const QFontMetricsF fm(font);
    const QChar ch = charOf(code);
    QPainterPath path;
    path.addText(0, 0, font, QString(ch));
    // Qt flattens the curves itself, at 96 units per em; the panel's
    // Font3D_MaxDeviation is kept as a property but has nothing to tune.
    for (const QPolygonF& poly : path.toSubpathPolygons()) {
        std::vector<std::array<double, 2>> c;
        for (const QPointF& p : poly) c.push_back({p.x() / kEm, -p.y() / kEm});
        if (c.size() > 1 && c.front() == c.back()) c.pop_back();
        if (c.size() >= 3) g.contours.push_back(std::move(c));
    }
    const QRectF box = path.boundingRect();
    g.metrics.blackBoxX = static_cast<float>(box.width() / kEm);
    g.metrics.blackBoxY = static_cast<float>(box.height() / kEm);
    g.metrics.originX = static_cast<float>(box.left() / kEm);
    g.metrics.originY = static_cast<float>(-box.top() / kEm);
    g.metrics.cellIncX = static_cast<float>(fm.horizontalAdvance(ch) / kEm);
    return g;
}

}  // namespace

void useQtGlyphs() { display::setGlyphSource({&bitmapOf, &outlineOf}); }

}  // namespace glpanel
