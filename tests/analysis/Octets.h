#pragma once
// The tests hold documents as strings; the checks read Windows-1252 bytes. Conversions both ways.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

#include "Cp1252.h"
#include "Dtd.h"
#include "LineViews.h"

inline std::string octets(const QString& s) {
  const QByteArray b = cp1252::encode(s);
  return std::string(b.constData(), size_t(b.size()));
}

inline QString enTexte(std::string_view b) { return cp1252::decode(QByteArray(b.data(), qsizetype(b.size()))); }

inline QStringList textes(const std::vector<std::string>& v) {
  QStringList out;
  for (const std::string& s : v) out << enTexte(s);
  return out;
}

inline std::vector<std::string> octetsDe(const QStringList& l) {
  std::vector<std::string> out;
  for (const QString& s : l) out.push_back(octets(s));
  return out;
}

// A loader that knows one file.
inline analysis::DtdLoader fichierUnique(const QString& nom, const QStringList& lignes) {
  return [nom = octets(nom), lignes = octetsDe(lignes)](std::string_view demande, std::vector<std::string>& out) {
    if (demande != nom) return false;
    out = lignes;
    return true;
  };
}

// The document as a file holds it: its lines in one buffer, joined by breaks of one kind
// (0 CR LF, 1 LF, 2 CR), which the checks read in one pass over the bytes first.
inline std::string enBloc(const QStringList& l, int sorteDeFin) {
  static const char* const fins[] = {"\r\n", "\n", "\r"};
  std::string out;
  for (qsizetype i = 0; i < l.size(); ++i) {
    if (i > 0) out += fins[sorteDeFin % 3];
    out += octets(l[i]);
  }
  return out;
}

// The checks on a document held as strings.
inline analysis::Fault produitValid(const QStringList& l) { return analysis::Valid(StringListLines(l)); }
inline analysis::Fault produitValiddtd(const QStringList& l, const analysis::DtdLoader& c) {
  return analysis::Validdtd(StringListLines(l), c);
}
inline QStringList produitLitDtd(const QStringList& l, const analysis::DtdLoader& c) {
  return textes(analysis::LitDtd(StringListLines(l), c));
}
inline bool produitChevauche(const QStringList& l, const QString& cle, int ligne, qsizetype position) {
  return analysis::Chevauche(StringListLines(l), octets(cle), ligne, position);
}
inline QString produitRapport(const QStringList& l, bool dtd, const analysis::DtdLoader& c, analysis::Fault* f = nullptr) {
  return analysis::checkReport(StringListLines(l), dtd, c, f);
}
inline analysis::Fault produitValidEnBloc(const QStringList& l, int sorteDeFin) {
  return analysis::Valid(BufferLines(enBloc(l, sorteDeFin)));
}
inline QString produitRapportEnBloc(const QStringList& l, int sorteDeFin, bool dtd, const analysis::DtdLoader& c,
                                    analysis::Fault* f) {
  return analysis::checkBytes(enBloc(l, sorteDeFin), dtd, c, f, nullptr);
}
