#include "PocketEngine.h"

#include <charconv>
#include <cmath>

#include "DecimalText.h"
#include "Real48.h"

namespace accessories {

namespace {

QString overflowMessage() {
  return QStringLiteral("Dépassement de capacité : le résultat sort des limites de la "
                        "calculatrice (±1,7E38).");
}
QString divisionByZeroMessage() { return QStringLiteral("Division par zéro."); }

// A number that is exactly a decimal of up to 12 digits (any whole number below 10^12) is shown
// whole. Any other is rounded to the 11 digits that the 6-byte real always holds, so the binary
// form's noise never shows (1 / 3 * 3 gives 0,99999999999, not 0,999999999989).
QString shownText(long double stored) {
  char buffer[64];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, stored, std::chars_format::scientific);
  int digits = 0;
  if (ec == std::errc()) {
    for (const char* c = buffer; c != end && *c != 'e'; ++c) digits += (*c >= '0' && *c <= '9');
  }
  if (ec == std::errc() && digits <= PocketEngine::kExactDigits)
    return formatGeneral(stored, PocketEngine::kExactDigits);
  return formatGeneral(stored, PocketEngine::kDigits);
}

}  // namespace

void PocketEngine::clear() {
  display_.clear();
  accumulator_ = 0;
  operand_ = 0;
  operator_ = QChar();
  hasAccumulator_ = false;
  newEntry_ = false;
}

void PocketEngine::digit(int d) {
  if (newEntry_) display_.clear();
  display_ += QChar(u'0' + d);
  newEntry_ = false;
}

void PocketEngine::comma() { display_ += u','; }

QString PocketEngine::readOperand() {
  const std::optional<long double> v = parseDecimal(display_);
  if (display_.isEmpty()) return QStringLiteral("Aucun nombre n'est affiché.");
  if (!v) return QStringLiteral("« %1 » n'est pas un nombre valide.").arg(display_);
  const std::optional<long double> stored = toReal48(*v);
  if (!stored) return overflowMessage();
  operand_ = *stored;
  return {};
}

QString PocketEngine::showResult(long double value) {
  const std::optional<long double> stored = toReal48(value);
  if (!stored) return overflowMessage();
  const QString text = shownText(*stored);
  // The next step computes on what is shown, not on digits the user cannot see.
  const std::optional<long double> shown = toReal48(*parseDecimal(text));
  if (!shown) return overflowMessage();
  display_ = text;
  accumulator_ = *shown;
  hasAccumulator_ = true;
  newEntry_ = true;
  return {};
}

QString PocketEngine::evaluate() {
  if (!hasAccumulator_) {
    const std::optional<long double> v = parseDecimal(display_);
    const std::optional<long double> stored = v ? toReal48(*v) : std::nullopt;
    if (!v) {
      display_.clear();
      return {};
    }
    if (!stored) return overflowMessage();
    accumulator_ = *stored;
    hasAccumulator_ = true;
    newEntry_ = true;
    return {};
  }
  if (QString error = readOperand(); !error.isEmpty()) return error;
  long double result = accumulator_;
  switch (operator_.unicode()) {
    case u'+': result = accumulator_ + operand_; break;
    case u'-': result = accumulator_ - operand_; break;
    case u'*': result = accumulator_ * operand_; break;
    case u'/':
      if (operand_ == 0) return divisionByZeroMessage();
      result = accumulator_ / operand_;
      break;
    default: break;
  }
  return showResult(result);
}

QString PocketEngine::operation(QChar op) {
  if (QString error = evaluate(); !error.isEmpty()) return error;
  operator_ = op;
  return {};
}

QString PocketEngine::reciprocal() {
  if (QString error = readOperand(); !error.isEmpty()) return error;
  if (operand_ == 0) return divisionByZeroMessage();
  return showResult(1 / operand_);
}

QString PocketEngine::squareRoot() {
  if (QString error = readOperand(); !error.isEmpty()) return error;
  if (operand_ < 0)
    return QStringLiteral("Racine carrée impossible : %1 est négatif.").arg(display_);
  return showResult(std::sqrt(operand_));
}

}  // namespace accessories
