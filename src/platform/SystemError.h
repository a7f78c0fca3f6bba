#pragma once
// The reasons of the system's failures in French, whatever the machine's locale: strerror()
// speaks the locale of the process, which is often English or C on the machines we run on.
#include <QString>

// A short French text for the errno value e ("permission refusée"), without a final period;
// an unknown value gives a generic text with its number.
QString systemErrorText(int e);
