#pragma once
// Setting the machine's clock. The program talks to the installed setter only, so that tests
// install one that records what would have been set and never touch the real clock.
#include <QDateTime>

class ClockSetter {
 public:
  virtual ~ClockSetter() = default;

  // Sets the clock to utc (whole seconds). False when the system refuses, for example for
  // lack of rights; callers may ignore it.
  virtual bool setUtc(const QDateTime& utc) = 0;

  // The installed setter (the system's own unless something else was installed).
  static ClockSetter& get();
  // Installs s (not owned) and returns the previous one; nullptr restores the system's.
  static ClockSetter* install(ClockSetter* s);
};
