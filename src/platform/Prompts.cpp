#include "Prompts.h"

#include <QDialog>
#include <QPrinter>
#include <QStringList>

#include "QtPrompts.h"

namespace {
Prompts* installed = nullptr;
}

Prompts& Prompts::get() {
  static QtPrompts real;
  return installed ? *installed : real;
}

Prompts* Prompts::install(Prompts* p) {
  Prompts* previous = installed;
  installed = p;
  return previous;
}

QPrinter& Prompts::printer() {
  static QPrinter shared(QPrinter::HighResolution);
  return shared;
}

QString Prompts::qtFilter(const QString& pipeFilter) {
  // Qt takes the patterns from the label's last "(...)", separated by blanks: a label whose
  // patterns are written with ";" or differ from the pattern part gets the patterns it filters by.
  const QStringList parts = pipeFilter.split(u'|');
  QStringList labels;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QString label = parts[i];
    if (i + 1 >= parts.size()) {
      labels << label;
      continue;
    }
    const QString patterns = QString(parts[i + 1]).replace(u';', u' ');
    const qsizetype open = label.lastIndexOf(u'(');
    const QString shown = open >= 0 && label.endsWith(u')')
                              ? label.mid(open + 1, label.size() - open - 2).replace(u';', u' ')
                              : QString();
    if (shown == patterns)
      label = label.left(open + 1) + patterns + u')';
    else
      label += QStringLiteral(" (") + patterns + u')';
    labels << label;
  }
  return labels.join(u";;");
}

int Prompts::showModal(QDialog& dialog) { return dialog.exec(); }
