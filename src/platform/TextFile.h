#pragma once
// Reading and writing document files: Windows-1252 bytes, line breaks kept as CR LF.
// Only regular files are read or replaced: a device, a named pipe or a socket would never end
// or would block, so they are refused with a message, never opened for reading.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

namespace textfile {

struct Loaded {
  bool ok = false;
  QString text;   // every line break turned into CR LF
  QString error;  // French message naming the file and the reason, when !ok
};

struct LoadedBytes {
  bool ok = false;
  std::string bytes;  // the file's bytes with every line break turned into CR LF
  QString error;      // as Loaded::error
};

// Reads the whole file. A folder, a file that is not a regular file, a missing or unreadable
// file, or one too large for the free memory gives ok == false.
Loaded load(const QString& path);
// The same, as bytes: about the file's size in memory, for the text store of large documents.
LoadedBytes loadBytes(const QString& path);
// The file's bytes as they are, line breaks untouched, with the same refusals: for readers that
// take every kind of line break themselves (BufferLines), which then need no pass to turn them
// into CR LF.
LoadedBytes loadRawBytes(const QString& path);
// The file's bytes as they are, handed a block at a time, with the same refusals; returns an
// empty string or the message. A receiver that fails with std::bad_alloc gets the message of a
// file too large for the free memory. peakPerByte: the memory that the caller's whole work
// needs at its peak per byte of the file, against which the free memory is weighed.
QString readBlocks(const QString& path, const std::function<void(std::string_view)>& block,
                   double peakPerByte = 2);

// Writes beside the file and replaces it only once the whole write has succeeded, so a failed
// save never leaves a truncated file. When the folder refuses the file beside it, and only
// then, the file is written in place. Returns an empty string or the French error message,
// which says which step failed and why.
QString save(const QString& path, const QString& text);
QString saveBytes(const QString& path, std::string_view bytes);
// The same save with the bytes handed over as they are made: produce calls its argument with
// each piece, in order, and returns false to give up: nothing is replaced (the file is opened at
// the first piece, and a file written beside is removed; one written in place is left
// incomplete) and the answer is empty, as the producer tells its own failure. A piece that
// cannot be written makes the argument answer false and the answer tell why. sizeHint: about the
// size of the whole, weighed against the free room when the file has to be written in place.
using Producer = std::function<bool(const std::function<bool(std::string_view)>& piece)>;
QString saveProduced(const QString& path, int64_t sizeHint, const Producer& produce);

// Every CR, LF, CR LF and LF CR becomes one CR LF.
QString normaliseLineBreaks(const QString& text);
// The same on bytes, in place; the string grows only by the breaks that gain a byte, and
// within its spare capacity when it has enough, so a caller that reserves a little room holds
// the text about once.
void normaliseLineBreaks(std::string& bytes);

// Splits CR LF-joined text into lines; the empty text is one empty line.
QStringList splitLines(const QString& crlfText);

// The message given for a file too large for the free memory.
QString tooLargeMessage();

// Bytes of memory the system can still give without swapping, less under an address-space limit
// (ulimit -v), or -1 when unknown. Tests replace it; the function returns the previous one.
using MemoryProbe = int64_t (*)();
MemoryProbe setAvailableMemoryProbe(MemoryProbe probe);

// Tests only: opening path for reading fails with the system error e, as when its permissions
// refuse it (root reads through any permission); e == 0 lifts it.
void refuseReadingForTests(const QString& path, int e);

}  // namespace textfile
