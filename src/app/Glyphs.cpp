#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(30, 80, 180);
const QColor kGreen(20, 130, 40);
const QColor kYellow(230, 190, 60);

void page(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 3, r.top());
  path.lineTo(r.right(), r.top() + 3);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1));
  p.setBrush(kPaper);
  p.drawPath(path);
}

void check(QPainter& p, QColor c) {
  p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(4, 9), QPointF(7, 12.5), QPointF(13, 4)}));
}

void brackets(QPainter& p, const QString& text, QColor c) {
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPixelSize(9);
  f.setBold(true);
  p.setFont(f);
  p.setPen(c);
  p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void draw(QPainter& p, Glyph g) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (g) {
    case Glyph::Nouveau:
      page(p, QRectF(3.5, 1.5, 9, 13));
      break;
    case Glyph::Ouvrir:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kYellow);
      p.drawRect(QRectF(1.5, 4.5, 12, 9));
      p.setBrush(kYellow.lighter(120));
      p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5),
                               QPointF(1.5, 13.5)}));
      break;
    case Glyph::Enregistrer:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kBlue);
      p.drawRect(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(kPaper);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.drawRect(QRectF(3.5, 9.5, 9, 5));
      break;
    case Glyph::Annuler: {
      p.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(3, 4, 10, 9), 90 * 16, -250 * 16);
      p.setBrush(kBlue);
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygonF({QPointF(1, 5), QPointF(7, 1.5), QPointF(7, 8.5)}));
      break;
    }
    case Glyph::Couper:
      p.setPen(QPen(kInk, 1.4));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(2, 10, 4.5, 4.5));
      p.drawEllipse(QRectF(9.5, 10, 4.5, 4.5));
      p.drawLine(QPointF(5.5, 10.5), QPointF(11, 1.5));
      p.drawLine(QPointF(10.5, 10.5), QPointF(5, 1.5));
      break;
    case Glyph::Copier:
      page(p, QRectF(1.5, 1.5, 8, 10));
      page(p, QRectF(6.5, 4.5, 8, 10));
      break;
    case Glyph::Coller:
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(170, 120, 60));
      p.drawRect(QRectF(2.5, 2.5, 10, 12));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(5.5, 1.5, 4, 3));
      page(p, QRectF(7.5, 6.5, 7, 8));
      break;
    case Glyph::Navigateur:
      p.setPen(QPen(kBlue, 1.2));
      p.setBrush(QColor(200, 225, 255));
      p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(5, 1.5, 6, 13));
      p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
      break;
    case Glyph::Arborescence:
      p.setPen(QPen(kInk, 1));
      p.drawLine(QPointF(4, 4), QPointF(4, 13));
      p.drawLine(QPointF(4, 8.5), QPointF(9, 8.5));
      p.drawLine(QPointF(4, 13), QPointF(9, 13));
      p.setBrush(kGreen);
      p.drawRect(QRectF(1.5, 1.5, 5, 4));
      p.drawRect(QRectF(9.5, 6.5, 5, 4));
      p.drawRect(QRectF(9.5, 11, 5, 4));
      break;
    case Glyph::FermerBalise:
      brackets(p, QStringLiteral("</>"), kBlue);
      break;
    case Glyph::Verifier:
      check(p, kGreen);
      break;
    case Glyph::Valider:
      page(p, QRectF(2.5, 1.5, 11, 13));
      check(p, kGreen);
      break;
    case Glyph::VueSource:
      brackets(p, QStringLiteral("<a>"), kBlue);
      break;
    case Glyph::VueDonnees:
      p.setPen(QPen(kInk, 1));
      p.setBrush(kPaper);
      p.drawRect(QRectF(1.5, 2.5, 13, 11));
      p.drawLine(QPointF(6.5, 2.5), QPointF(6.5, 13.5));
      for (double y : {6.0, 9.5}) p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
      break;
  }
}

}  // namespace

QIcon glyphIcon(Glyph g) {
  // A second, faded picture for the disabled button: the style's own greying leaves dark
  // outlines looking enabled.
  QIcon icon;
  for (const auto& [mode, opacity] : {std::pair{QIcon::Normal, 1.0}, {QIcon::Disabled, 0.3}}) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setOpacity(opacity);
    draw(p, g);
    p.end();
    icon.addPixmap(pm, mode);
  }
  return icon;
}

QPixmap logoPixmap(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(QPen(kInk, 2));
  p.setBrush(kPaper);
  QPainterPath sheet;
  sheet.moveTo(10, 4);
  sheet.lineTo(44, 4);
  sheet.lineTo(56, 16);
  sheet.lineTo(56, 60);
  sheet.lineTo(10, 60);
  sheet.closeSubpath();
  p.drawPath(sheet);
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPixelSize(16);
  f.setBold(true);
  p.setFont(f);
  p.setPen(kBlue);
  p.drawText(QRectF(10, 18, 46, 20), Qt::AlignCenter, QStringLiteral("<x>"));
  p.setPen(QPen(kGreen, 3));
  for (int y : {44, 50}) p.drawLine(18, y, 48, y);
  return pm;
}
