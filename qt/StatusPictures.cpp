// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/StatusPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace qtface {

QPixmap drawn(const std::vector<logic::ui::Shape>& shapes, int width, int height) {
    namespace ui = logic::ui;
    if (shapes.empty()) return {};
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const auto colour = [](const ui::Rgb& c) { return QColor(c.r, c.g, c.b); };
    for (const ui::Shape& s : shapes) {
        if (s.pen) {
            QPen pen(colour(*s.pen), s.penWidth);
            if (s.ends == ui::Ends::Round) {
                pen.setCapStyle(Qt::RoundCap);
                pen.setJoinStyle(Qt::RoundJoin);
            } else if (s.ends == ui::Ends::Flat) {
                pen.setCapStyle(Qt::FlatCap);
            }
            p.setPen(pen);
        } else {
            p.setPen(Qt::NoPen);
        }
        p.setBrush(s.fill ? QBrush(colour(*s.fill)) : QBrush(Qt::NoBrush));
        QPolygonF points;
        for (const ui::GridPoint& g : s.points) points << QPointF(g.x, g.y);
        switch (s.kind) {
            case ui::ShapeKind::Box:
                p.drawRect(QRectF(points[0], points[1]));
                break;
            case ui::ShapeKind::RoundBox:
                p.drawRoundedRect(QRectF(points[0], points[1]), points[2].x(), points[2].y());
                break;
            case ui::ShapeKind::Disc:
                p.drawEllipse(QRectF(points[0], points[1]));
                break;
            case ui::ShapeKind::Polygon:
                p.drawPolygon(points);
                break;
            case ui::ShapeKind::Polyline:
                if (points.size() == 2)
                    p.drawLine(points[0], points[1]);  // Qt rasterises a lone segment its own way
                else
                    p.drawPolyline(points);
                break;
            case ui::ShapeKind::Curve: {
                QPainterPath path(points[0]);
                for (int i = 1; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
                p.drawPath(path);
                break;
            }
        }
    }
    return pm;
}

}  // namespace qtface
