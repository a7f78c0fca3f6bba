#pragma once
// The calculator's state and steps, without a window: one accumulator, one operand and a
// pending operator, as on a desk calculator. Each step returns an empty text or the French
// message of its failure; a failed step leaves what was stored before it.
#include <QChar>
#include <QString>

namespace accessories {

class PocketEngine {
 public:
  // Results are shown to the decimal digits that the 6-byte real always holds (any 11-digit
  // number survives being stored), or whole when they are exactly a decimal of 12 digits; an
  // exponent shows from the first power of ten that the digits cannot reach, and below 1E-5.
  static constexpr int kDigits = 11;
  static constexpr int kExactDigits = 12;

  void clear();  // "C" and each showing of the window
  void digit(int d);
  void comma();
  QString evaluate();              // "="
  QString operation(QChar op);     // "+", "-", "*", "/"
  QString reciprocal();            // "1/x"
  QString squareRoot();            // "sqr"

  QString display() const { return display_; }
  long double accumulator() const { return accumulator_; }
  QChar pendingOperator() const { return operator_; }
  bool hasAccumulator() const { return hasAccumulator_; }

 private:
  QString readOperand();
  // Shows a result and makes the shown value the accumulator, so that what the user sees is
  // exactly what the next step computes on.
  QString showResult(long double value);

  QString display_;
  long double accumulator_ = 0;
  long double operand_ = 0;
  QChar operator_;
  bool hasAccumulator_ = false;
  bool newEntry_ = false;
};

}  // namespace accessories
