// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/StatusPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace qtface {
namespace {

using ecu::DtcPicture;

void lamp(QPainter& p) {
    // An engine-check lamp: an amber engine block with its two pipes.
    p.setPen(QPen(QColor(0x70, 0x40, 0x00), 1));
    p.setBrush(QColor(0xFF, 0xA5, 0x00));
    p.drawRect(QRectF(4.5, 7.5, 12, 8));
    p.drawRect(QRectF(7.5, 4.5, 6, 3));
    p.drawRect(QRectF(1.5, 9.5, 3, 4));
    p.drawRect(QRectF(16.5, 9.5, 3, 4));
}

void present(QPainter& p) {
    // A red disc with a white exclamation mark: the fault is there now.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD0, 0x10, 0x10));
    p.drawEllipse(QRectF(1.5, 1.5, 18, 18));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9.5, 5, 2, 8));
    p.drawRect(QRectF(9.5, 14.5, 2, 2));
}

void intermittent(QPainter& p) {
    // A broken orange zigzag: comes and goes.
    p.setPen(QPen(QColor(0xE0, 0x70, 0x00), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{2, 14}, {6, 6}, {9, 14}}));
    p.drawPolyline(QPolygonF({{12, 14}, {15, 6}, {19, 14}}));
}

void storedInactive(QPainter& p) {
    // A grey storage disk (floppy): kept in memory, not active.
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0x90, 0x90, 0x98));
    p.drawRect(QRectF(3.5, 3.5, 14, 14));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 3.5, 8, 5));
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawRect(QRectF(6.5, 11.5, 8, 6));
}

void testNotCompleted(QPainter& p) {
    // An hourglass: the test is still running.
    p.setPen(QPen(QColor(0x20, 0x30, 0x80), 1.5));
    p.setBrush(QColor(0xB0, 0xC8, 0xFF));
    p.drawPolygon(QPolygonF({{4, 2}, {17, 2}, {10.5, 10.5}}));
    p.drawPolygon(QPolygonF({{4, 19}, {17, 19}, {10.5, 10.5}}));
}

void testCompleted(QPainter& p) {
    // A green tick.
    p.setPen(QPen(QColor(0x10, 0x90, 0x20), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{3, 11}, {8, 16}, {18, 4}}));
}

void arrowAndBar(QPainter& p, bool up) {
    // An arrow against a threshold bar: above the maximum or below the minimum.
    const QColor c = up ? QColor(0xC0, 0x10, 0x10) : QColor(0x10, 0x40, 0xC0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(2, up ? 3 : 16, 17, 2));
    p.setBrush(c);
    QPainterPath arrow;
    if (up) {
        arrow.moveTo(10.5, 6);
        arrow.lineTo(16, 12);
        arrow.lineTo(12.5, 12);
        arrow.lineTo(12.5, 19);
        arrow.lineTo(8.5, 19);
        arrow.lineTo(8.5, 12);
        arrow.lineTo(5, 12);
    } else {
        arrow.moveTo(10.5, 15);
        arrow.lineTo(16, 9);
        arrow.lineTo(12.5, 9);
        arrow.lineTo(12.5, 2);
        arrow.lineTo(8.5, 2);
        arrow.lineTo(8.5, 9);
        arrow.lineTo(5, 9);
    }
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void invalidSignal(QPainter& p) {
    // A wave with a red cross over it: a signal, but a wrong one.
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    QPainterPath wave;
    wave.moveTo(1, 10.5);
    wave.cubicTo(4, 3, 7, 3, 10.5, 10.5);
    wave.cubicTo(14, 18, 17, 18, 20, 10.5);
    p.drawPath(wave);
    p.setPen(QPen(QColor(0xD0, 0x10, 0x10), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(16, 16));
    p.drawLine(QPointF(16, 5), QPointF(5, 16));
}

void noSignal(QPainter& p) {
    // A flat line with a break: nothing arrives.
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(1, 10.5), QPointF(8, 10.5));
    p.drawLine(QPointF(13, 10.5), QPointF(20, 10.5));
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.5));
    p.drawLine(QPointF(8, 5), QPointF(13, 16));
}

}  // namespace

QPixmap statusPicture(DtcPicture picture) {
    if (picture == DtcPicture::None) return {};
    QPixmap pm(21, 21);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case DtcPicture::Lamp:
            lamp(p);
            break;
        case DtcPicture::Present:
            present(p);
            break;
        case DtcPicture::Intermittent:
            intermittent(p);
            break;
        case DtcPicture::StoredInactive:
            storedInactive(p);
            break;
        case DtcPicture::TestNotCompleted:
            testNotCompleted(p);
            break;
        case DtcPicture::TestCompleted:
            testCompleted(p);
            break;
        case DtcPicture::AboveMaximum:
            arrowAndBar(p, true);
            break;
        case DtcPicture::BelowMinimum:
            arrowAndBar(p, false);
            break;
        case DtcPicture::InvalidSignal:
            invalidSignal(p);
            break;
        case DtcPicture::NoSignal:
            noSignal(p);
            break;
        case DtcPicture::None:
            break;
    }
    return pm;
}

}  // namespace qtface
