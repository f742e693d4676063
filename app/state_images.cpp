#include "app/state_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace morvalin {

namespace {

const QColor kGreen(0x1f, 0x9d, 0x3a);
const QColor kDarkGreen(0x0f, 0x6b, 0x24);
const QColor kBlue(0x2b, 0x5c, 0xb8);
const QColor kRed(0xd0, 0x24, 0x24);

void DrawArrow(QPainter& p) {
  const QPolygonF arrow({{5, 1}, {10, 1}, {10, 7}, {13.5, 7}, {7.5, 14}, {1.5, 7}, {5, 7}});
  p.setPen(QPen(kDarkGreen, 1));
  p.setBrush(kGreen);
  p.drawPolygon(arrow);
}

void DrawPause(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRect(QRectF(3, 2, 3.5, 11));
  p.drawRect(QRectF(8.5, 2, 3.5, 11));
}

void DrawClock(QPainter& p) {
  p.setPen(QPen(kBlue, 1.2));
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(1, 1, 13, 13));
  p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(7.5, 7.5), QPointF(7.5, 3.5));
  p.drawLine(QPointF(7.5, 7.5), QPointF(10.5, 9));
}

void DrawCross(QPainter& p) {
  p.setPen(QPen(kRed, 2.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3, 3), QPointF(12, 12));
  p.drawLine(QPointF(12, 3), QPointF(3, 12));
}

void DrawCheck(QPainter& p) {
  QPainterPath path;
  path.moveTo(2, 8);
  path.lineTo(6, 12);
  path.lineTo(13, 3);
  p.setPen(QPen(kGreen, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

}  // namespace

QIcon StateImage(int index) {
  if (index < 0 || index >= kStateImageCount) return {};
  QPixmap pixmap(kStateImageSize, kStateImageSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0:
      DrawArrow(painter);
      break;
    case 1:
      DrawPause(painter);
      break;
    case 2:
      DrawClock(painter);
      break;
    case 3:
      DrawCross(painter);
      break;
    default:
      DrawCheck(painter);
      break;
  }
  painter.end();
  return QIcon(pixmap);
}

}  // namespace morvalin
