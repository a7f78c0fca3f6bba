#include "TextPrinter.h"

#include <cmath>

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

// Writes one line as printed rows no wider than the page, breaking before the first
// character that does not fit; tabs advance to the next multiple of 8 average widths.
class Writer {
 public:
  Writer(QPainter& p, QPagedPaintDevice& d)
      : painter(p), device(d), metrics(p.font(), &d),
        pageWidth(d.width()), pageHeight(d.height()),
        lineHeight(metrics.height()), tabWidth(8 * metrics.averageCharWidth()) {}

  void writeLine(const QString& line) {
    qreal x = 0;
    QString run;
    qreal runX = 0;
    const auto flushRun = [&] {
      if (!run.isEmpty()) painter.drawText(QPointF(runX, y + metrics.ascent()), run);
      run.clear();
    };
    newRowIfNeeded();
    for (const QChar c : line) {
      if (c == u'\t') {
        flushRun();
        qreal next = (std::floor(x / tabWidth) + 1) * tabWidth;
        if (next > pageWidth) {
          nextRow();
          next = 0;
        }
        x = next;
        runX = x;
        continue;
      }
      const qreal w = metrics.horizontalAdvance(c);
      if (x + w > pageWidth && x > 0) {
        flushRun();
        nextRow();
        x = 0;
      }
      if (run.isEmpty()) runX = x;
      run += c;
      x += w;
    }
    flushRun();
    y += lineHeight;
  }

 private:
  void newRowIfNeeded() {
    if (y > 0 && y + lineHeight > pageHeight) {
      device.newPage();
      y = 0;
    }
  }
  void nextRow() {
    y += lineHeight;
    newRowIfNeeded();
  }

  QPainter& painter;
  QPagedPaintDevice& device;
  QFontMetricsF metrics;
  qreal pageWidth;
  qreal pageHeight;
  qreal lineHeight;
  qreal tabWidth;
  qreal y = 0;
};

}  // namespace

bool printTextLines(QPagedPaintDevice& device, const QFont& font, const QStringList& lines) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  painter.setFont(QFont(font, &device));
  Writer writer(painter, device);
  for (const QString& line : lines) writer.writeLine(line);
  return painter.end();
}
