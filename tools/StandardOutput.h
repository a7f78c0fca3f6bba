#pragma once
// Reports of the command-line programs: UTF-8 on standard output, messages on standard error.
// A report lost on the way (a full disk, a file that refuses writing) must not pass for
// success, so the programs end through finishOutput.
#include <string_view>

#include <QString>

void writeOut(std::string_view bytes);
void writeOut(const QString& text);
// Standard output is flushed first, so reports and messages stay in the order they happened.
void writeErr(const QString& text);

// Flushes standard output. When a write to it failed, says so on standard error after
// "PREFIX : " and returns 2; otherwise returns status.
int finishOutput(const QString& prefix, int status);

// For std::bad_alloc: the French message, written without allocating, after "PREFIX : ".
void reportOutOfMemory(const char* prefix);
