#include "app/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace app {
namespace {

const QColor kInk(0x1d, 0x3b, 0x5c);
const QColor kAccent(0xe0, 0x8a, 0x1e);
const QColor kPaper(0xf4, 0xf1, 0xe8);

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void DrawNote(QPainter& painter, QRectF box, const QColor& color) {
  // Two joined quavers.
  const qreal w = box.width();
  const qreal h = box.height();
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawEllipse(QPointF(box.left() + w * 0.25, box.top() + h * 0.78), w * 0.16, h * 0.12);
  painter.drawEllipse(QPointF(box.left() + w * 0.72, box.top() + h * 0.70), w * 0.16, h * 0.12);
  QPen stem(color, std::max<qreal>(1.0, w * 0.07));
  stem.setCapStyle(Qt::FlatCap);
  painter.setPen(stem);
  painter.drawLine(QPointF(box.left() + w * 0.38, box.top() + h * 0.78),
                   QPointF(box.left() + w * 0.38, box.top() + h * 0.22));
  painter.drawLine(QPointF(box.left() + w * 0.85, box.top() + h * 0.70),
                   QPointF(box.left() + w * 0.85, box.top() + h * 0.14));
  QPen beam(color, std::max<qreal>(1.5, h * 0.12));
  beam.setCapStyle(Qt::FlatCap);
  painter.setPen(beam);
  painter.drawLine(QPointF(box.left() + w * 0.36, box.top() + h * 0.25),
                   QPointF(box.left() + w * 0.87, box.top() + h * 0.17));
}

}  // namespace

QPixmap LogoPicture(int size) {
  QPixmap pixmap = Canvas(size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF disc(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kInk);
  painter.drawEllipse(disc);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(255, 255, 255, 40), std::max(1.0, size * 0.012)));
  for (qreal r = 0.42; r > 0.22; r -= 0.05) {
    painter.drawEllipse(disc.center(), size * r, size * r);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kAccent);
  painter.drawEllipse(disc.center(), size * 0.2, size * 0.2);
  DrawNote(painter,
           QRectF(disc.center().x() - size * 0.12, disc.center().y() - size * 0.13, size * 0.24,
                  size * 0.24),
           kPaper);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(LogoPicture(size));
  return icon;
}

QPixmap ButtonPixmap(ButtonPicture picture, int size) {
  QPixmap pixmap = Canvas(size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  switch (picture) {
    case ButtonPicture::CreateAlbum: {
      // A stack of sleeves gathered into one.
      painter.setPen(QPen(kInk, s * 0.05));
      painter.setBrush(kPaper);
      painter.drawRect(QRectF(s * 0.30, s * 0.10, s * 0.60, s * 0.60));
      painter.drawRect(QRectF(s * 0.20, s * 0.20, s * 0.60, s * 0.60));
      painter.setBrush(kAccent);
      painter.drawRect(QRectF(s * 0.10, s * 0.30, s * 0.60, s * 0.60));
      DrawNote(painter, QRectF(s * 0.18, s * 0.40, s * 0.42, s * 0.42), kInk);
      break;
    }
    case ButtonPicture::ExtractItems: {
      // A box with an arrow leaving it.
      painter.setPen(QPen(kInk, s * 0.06));
      painter.setBrush(kPaper);
      painter.drawRect(QRectF(s * 0.12, s * 0.45, s * 0.76, s * 0.45));
      painter.setPen(QPen(kAccent, s * 0.10, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(s * 0.5, s * 0.72), QPointF(s * 0.5, s * 0.12));
      painter.drawLine(QPointF(s * 0.5, s * 0.12), QPointF(s * 0.32, s * 0.30));
      painter.drawLine(QPointF(s * 0.5, s * 0.12), QPointF(s * 0.68, s * 0.30));
      break;
    }
    case ButtonPicture::Encode: {
      // A wave turning into a note.
      QPainterPath wave;
      wave.moveTo(s * 0.05, s * 0.5);
      for (int i = 1; i <= 40; ++i) {
        const qreal x = s * (0.05 + 0.45 * i / 40.0);
        wave.lineTo(x, s * (0.5 - 0.25 * std::sin(i * 0.6) * (1.0 - i / 60.0)));
      }
      painter.setPen(QPen(kInk, s * 0.05));
      painter.drawPath(wave);
      painter.setPen(QPen(kAccent, s * 0.06, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(s * 0.52, s * 0.5), QPointF(s * 0.62, s * 0.5));
      DrawNote(painter, QRectF(s * 0.6, s * 0.25, s * 0.38, s * 0.5), kInk);
      break;
    }
  }
  return pixmap;
}

QPixmap PlayFrame(int frame, int size) {
  QPixmap pixmap = Canvas(size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const qreal s = size;
  painter.setBrush(kInk);
  QPainterPath triangle;
  triangle.moveTo(s * 0.08, s * 0.15);
  triangle.lineTo(s * 0.45, s * 0.5);
  triangle.lineTo(s * 0.08, s * 0.85);
  triangle.closeSubpath();
  painter.drawPath(triangle);
  painter.setBrush(kAccent);
  for (int bar = 0; bar < 4; ++bar) {
    const qreal level = 0.25 + 0.6 * std::abs(std::sin((frame + bar * 2) * 0.7));
    const qreal height = s * 0.7 * level;
    painter.drawRect(QRectF(s * (0.52 + bar * 0.12), s * 0.85 - height, s * 0.08, height));
  }
  return pixmap;
}

}  // namespace app
