// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ResolutionNotice.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "logic/WindowTables.h"
#include "qt/WindowRules.h"

namespace qtface {

ResolutionNotice::ResolutionNotice(QWidget* parent) : QDialog(parent) {
    const logic::ui::WindowDescription& d = logic::ui::resolutionNotice();
    setWindowTitle(QString::fromUtf8(d.title));
    setFixedSize(d.width, d.height);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(0, 0, d.width, d.height);
    auto* image = new QLabel(panel);
    image->setGeometry(2, 2, d.width - 4, d.height - 4);
    image->setPixmap(QPixmap::fromImage(picture()));
    qtface::centreOnScreen(this);
    Timer1.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the notice stands 4 s.
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, [] { QApplication::exit(0); });
    Timer1.start(logic::ui::kNoticeMs);
}

void ResolutionNotice::closeEvent(QCloseEvent* e) {
    e->accept();
    QApplication::exit(0);
}

QImage ResolutionNotice::picture() {
    QImage img(398, 73, QImage::Format_RGB32);
    img.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A warning sign: a yellow triangle with a black border and mark.
    QPainterPath tri;
    tri.moveTo(36, 8);
    tri.lineTo(64, 62);
    tri.lineTo(8, 62);
    tri.closeSubpath();
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xFF, 0xD4, 0x00));
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(33, 24, 6, 24), 2, 2);
    p.drawEllipse(QRectF(32.5, 51, 7, 7));
    // The request in large red letters (the picture lies 2 pixels in).
    const logic::ui::Control& request = logic::ui::resolutionNotice().byId(logic::ui::kNoticeText);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(request.fontPixels);
    f.setBold(request.bold);
    p.setFont(f);
    p.setPen(QColor(0xD0, 0x00, 0x00));
    p.drawText(QRect(request.place.x - 2, request.place.y - 2, request.place.width, request.place.height),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, QString::fromUtf8(request.text));
    return img;
}

}  // namespace qtface
