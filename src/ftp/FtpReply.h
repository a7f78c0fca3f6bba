#pragma once
// The control connection's reply lines: their assembly in a fixed buffer, and the readings the
// engine takes from them (reply code, 227 address, quoted directory name, SIZE result). No
// sockets here, so the fuzzer and the tests feed them any bytes.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace ftp {

// The number a reply line starts with, read as a C integer: blanks and line ends skipped, an
// optional sign, decimal digits; 0 when there are none. Saturates instead of overflowing.
int replyCode(const QByteArray& line);

// The second integer of a line (the one after the code), as a SIZE reply carries it; 0 when
// there is none.
qint64 secondInteger(const QByteArray& line);

// The directory name quoted after the code ("257 "/a ""b"" c" created" gives /a "b" c); a
// doubled quote stands for one. Empty when no quote follows the code.
QByteArray quotedName(const QByteArray& line);

// The address and port of a 227 reply: "(h1,h2,h3,h4,p1,p2)" after any text. The fields are
// taken as they stand, so a malformed reply gives a malformed address that connecting refuses.
struct PassiveTarget {
  QString address;
  quint16 port = 0;
};
PassiveTarget parsePassiveReply(const QByteArray& line);

// The text with its control characters written as escapes (\r, \n, \t, \x1b...), so that a
// server's words shown in a terminal or a log cannot move the cursor or change its colours.
QString printable(const QString& text);
// A file name as the file system holds it: bytes that are not printable ASCII shown as \xHH.
QString printableBytes(const QByteArray& name);

// Reply lines cut in place in one 4096-byte buffer. A line longer than the buffer fills it:
// spaceLeft() then answers 0 and the engine, reading 0 bytes, closes the connection.
class ReplyAssembler {
 public:
  static constexpr int kSize = 4096;

  // Where the next read goes, and how much it may take.
  char* writePosition() { return buf_ + held_; }
  int spaceLeft() const { return kSize - 1 - held_; }
  // The read put n bytes at writePosition().
  void commit(int n);
  void append(const char* data, int n);  // convenience for tests and the fuzzer
  // Cuts the next complete line (without its trailing CR and LF characters); false when none
  // is complete yet. With acceptLF a lone LF ends a line, otherwise only CR LF does.
  bool takeLine(QByteArray& line, bool acceptLF);
  void clear() { held_ = 0; buf_[0] = 0; }
  int held() const { return held_; }

 private:
  char buf_[kSize] = {};
  int held_ = 0;
};

}  // namespace ftp
