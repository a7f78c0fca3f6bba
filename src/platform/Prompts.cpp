#include "Prompts.h"

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
  const QStringList parts = pipeFilter.split(u'|');
  QStringList labels;
  for (qsizetype i = 0; i < parts.size(); i += 2) labels << parts[i];
  return labels.join(u";;");
}
