#include "ui/look.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

namespace korsi {

QFont windowFont(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("DejaVu Sans")});
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

namespace {

// Each picture is drawn on a 16 x 16 grid; the painter is scaled for larger sizes.
void drawDocument(QPainter& p, const QRectF& r) {
  QPainterPath page;
  page.moveTo(r.left(), r.top());
  page.lineTo(r.right() - 3, r.top());
  page.lineTo(r.right(), r.top() + 3);
  page.lineTo(r.right(), r.bottom());
  page.lineTo(r.left(), r.bottom());
  page.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::white);
  p.drawPath(page);
}

void drawMagnifier(QPainter& p, QPointF centre, qreal radius) {
  p.setPen(QPen(QColor(60, 60, 60), 2, Qt::SolidLine, Qt::RoundCap));
  const QPointF handle = centre + QPointF(radius * 0.75, radius * 0.75);
  p.drawLine(handle, handle + QPointF(radius * 0.9, radius * 0.9));
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(200, 230, 255, 220));
  p.drawEllipse(centre, radius, radius);
}

void drawGauge(QPainter& p, const QRectF& body) {
  p.setPen(QPen(QColor(40, 50, 60), 1));
  p.setBrush(QColor(70, 110, 150));
  p.drawRoundedRect(body, 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(180, 230, 180));
  p.drawRect(QRectF(body.left() + 1.5, body.top() + 1.5, body.width() - 3, body.height() * 0.4));
}

void paintPicture(QPainter& p, ToolPicture picture) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (picture) {
    case ToolPicture::Open: {
      p.setPen(QPen(QColor(130, 90, 10), 1));
      p.setBrush(QColor(230, 180, 60));
      p.drawRect(QRectF(1.5, 3.5, 12, 10));
      p.drawRect(QRectF(1.5, 2.5, 5, 2));
      QPolygonF flap{QPointF(3.5, 6.5), QPointF(15.5, 6.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)};
      p.setBrush(QColor(250, 215, 110));
      p.drawPolygon(flap);
      break;
    }
    case ToolPicture::Save: {
      p.setPen(QPen(QColor(20, 40, 90), 1));
      p.setBrush(QColor(50, 90, 170));
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(190, 190, 200));
      p.drawRect(QRectF(4.5, 9.5, 7, 5));
      p.fillRect(QRectF(8.5, 2.5, 2, 3), QColor(50, 90, 170));
      break;
    }
    case ToolPicture::Print: {
      drawDocument(p, QRectF(4.5, 1.5, 7, 6));
      p.setPen(QPen(QColor(60, 60, 60), 1));
      p.setBrush(QColor(170, 170, 175));
      p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 10.5, 7, 4));
      p.fillRect(QRectF(12, 8, 1.5, 1.5), QColor(40, 180, 40));
      break;
    }
    case ToolPicture::Preview: {
      drawDocument(p, QRectF(1.5, 0.5, 10, 13));
      p.setPen(QPen(QColor(150, 150, 150), 1));
      for (int y = 3; y <= 9; y += 2) p.drawLine(QPointF(3.5, y + 0.5), QPointF(8.5, y + 0.5));
      drawMagnifier(p, QPointF(10, 9.5), 3.2);
      break;
    }
    case ToolPicture::FindDevice: {
      drawGauge(p, QRectF(1.5, 1.5, 8, 13));
      drawMagnifier(p, QPointF(10.5, 8.5), 3.2);
      break;
    }
    case ToolPicture::Read: {
      drawGauge(p, QRectF(1.5, 0.5, 7, 10));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(30, 150, 50));
      QPolygonF arrow{QPointF(10.5, 4),  QPointF(13.5, 4),  QPointF(13.5, 9), QPointF(15.5, 9),
                      QPointF(12, 14.5), QPointF(8.5, 9), QPointF(10.5, 9)};
      p.drawPolygon(arrow);
      p.setPen(QPen(QColor(90, 90, 90), 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 12.5, 7, 3));
      break;
    }
  }
}

QPixmap renderPicture(ToolPicture picture, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.scale(size / 16.0, size / 16.0);
  paintPicture(p, picture);
  return pixmap;
}

}  // namespace

QIcon toolIcon(ToolPicture picture) {
  QIcon icon;
  icon.addPixmap(renderPicture(picture, 16));
  icon.addPixmap(renderPicture(picture, 32));
  return icon;
}

QPixmap splashPicture() {
  // 24-bit colour, no transparency.
  QImage image(400, 78, QImage::Format_RGB888);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 400, 78);
  sky.setColorAt(0, QColor(18, 52, 96));
  sky.setColorAt(1, QColor(60, 130, 190));
  p.fillRect(image.rect(), sky);

  // A gauge with its probe on a coated plate, at the right.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(150, 160, 170));
  p.drawRect(QRectF(300, 60, 90, 8));
  p.setBrush(QColor(230, 160, 60));
  p.drawRect(QRectF(300, 56, 90, 4));
  p.setPen(QPen(QColor(20, 30, 40), 1.5));
  p.setBrush(QColor(230, 235, 240));
  p.drawRoundedRect(QRectF(318, 8, 34, 40), 4, 4);
  p.setBrush(QColor(170, 220, 170));
  p.drawRect(QRectF(323, 13, 24, 12));
  p.setPen(QPen(QColor(20, 30, 40), 2));
  p.drawLine(QPointF(352, 30), QPointF(366, 44));
  p.drawLine(QPointF(366, 44), QPointF(366, 56));

  p.setPen(Qt::white);
  p.setFont(windowFont(30, true));
  p.drawText(QRect(16, 6, 280, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("КОРСИ-7"));
  p.setFont(windowFont(14));
  p.setPen(QColor(220, 235, 250));
  p.drawText(QRect(18, 46, 280, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Толщиномер покрытий"));
  p.end();
  return QPixmap::fromImage(image);
}

void centreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace korsi
