// gendoc: writes the large documents that the checker's benchmarks read, in Windows-1252 with
// CR LF line ends, deterministic from run to run.
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include "Cp1252.h"

namespace {

constexpr const char* kUsage =
    "Usage : gendoc DOSSIER [NOM...]\n"
    "Écrit dans DOSSIER les documents de mesure du vérificateur (Windows-1252, fins de ligne CR LF).\n"
    "NOM :\n"
    "  records-N   N Mo de fiches avec attributs et texte accentué, avec une DTD interne (N entier)\n"
    "  fiches-N    N Mo de fiches d'une ligne chacune, avec une DTD interne (N entier)\n"
    "  deep        20 000 éléments imbriqués\n"
    "  unclosed    200 000 éléments frères jamais fermés\n"
    "  longlines   lignes de 500 000 caractères pleines de balises\n"
    "  manytags    lignes de 100 000 balises : imbrications profondes, même nom imbriqué, éléments\n"
    "              ouverts en tête de ligne et refermés en fin de ligne\n"
    "  dtd         un document valide contre une DTD de 1 000 déclarations d'éléments\n"
    "              (fichier SYSTEM big.dtd et sous-ensemble interne)\n"
    "Sans NOM : records-1 records-10 fiches-1 deep unclosed longlines manytags dtd.\n";

// Buffers text and writes it encoded, so that 100 MB never sits in memory at once.
class Output {
 public:
  explicit Output(const QString& path) : file_(path) {
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      std::fprintf(stderr, "gendoc : impossible d'écrire %s : %s\n", qPrintable(path),
                   qPrintable(file_.errorString()));
      std::exit(2);
    }
  }
  ~Output() {
    emptyElement();
    if (!file_.flush() || file_.error() != QFileDevice::NoError) {
      std::fprintf(stderr, "gendoc : écriture de %s incomplète\n", qPrintable(file_.fileName()));
      std::exit(2);
    }
  }
  void line(const QString& l) {
    buffer_ += l;
    buffer_ += u"\r\n";
    if (buffer_.size() > (1 << 20)) emptyElement();
  }
  qint64 sizeMb() const { return file_.pos() + buffer_.size(); }

 private:
  void emptyElement() {
    const QByteArray octets = cp1252::encode(buffer_);
    if (file_.write(octets) != octets.size()) {
      std::fprintf(stderr, "gendoc : écriture de %s impossible\n", qPrintable(file_.fileName()));
      std::exit(2);
    }
    buffer_.clear();
  }
  QFile file_;
  QString buffer_;
};

// A tiny deterministic generator: the files must be the same on every machine.
class Random {
 public:
  unsigned next() {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 8) & 0xFFFFFF;
  }
  template <size_t N>
  QString among(const char16_t* const (&t)[N]) { return QString::fromUtf16(t[next() % N]); }

 private:
  unsigned state_ = 20240611u;
};

const char16_t* const kTitles[] = {u"Les misérables", u"Château de Versailles", u"Crème brûlée",
                                   u"Le théâtre de l'été", u"Où est la fenêtre ?", u"Ça déménage",
                                   u"Noël à Besançon", u"L'œuvre complète", u"Forêt d'Orléans"};
const char16_t* const kAuthors[] = {u"Émile Zola", u"Honoré de Balzac", u"Gérard de Nerval",
                                    u"Aurélie Dupré", u"François Mauriac", u"Anaïs Nin"};
const char16_t* const kNotes[] = {u"Édition révisée &amp; augmentée", u"Préface de l'éditeur",
                                  u"Très bon état, reliure d'époque", u"Épuisé &#233;dition 1998",
                                  u"Dédicacé par l'auteur"};
const char16_t* const kTypes[] = {u"livre", u"revue", u"disque", u"carte"};

void records(const QString& path, qint64 octets) {
  Output s(path);
  Random h;
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.line(u"<!DOCTYPE catalogue ["_qs);
  s.line(u"<!ELEMENT catalogue (record*)>"_qs);
  s.line(u"<!ELEMENT record (title, author, price, note?)>"_qs);
  s.line(u"<!ATTLIST record id ID #REQUIRED type CDATA #IMPLIED>"_qs);
  s.line(u"<!ELEMENT title (#PCDATA)>"_qs);
  s.line(u"<!ELEMENT author (#PCDATA)>"_qs);
  s.line(u"<!ELEMENT price (#PCDATA)>"_qs);
  s.line(u"<!ATTLIST price currency CDATA #REQUIRED>"_qs);
  s.line(u"<!ELEMENT note (#PCDATA)>"_qs);
  s.line(u"]>"_qs);
  s.line(u"<catalogue>"_qs);
  for (qint64 n = 1; s.sizeMb() < octets - 20; ++n) {
    s.line(QStringLiteral("  <record id=\"r%1\" type=\"%2\">").arg(n).arg(h.among(kTypes)));
    s.line(QStringLiteral("    <title>%1, tome %2</title>").arg(h.among(kTitles)).arg(h.next() % 40 + 1));
    s.line(QStringLiteral("    <author>%1</author>").arg(h.among(kAuthors)));
    s.line(QStringLiteral("    <price currency=\"EUR\">%1,%2</price>").arg(h.next() % 90 + 5).arg(h.next() % 100, 2, 10, QChar(u'0')));
    if (h.next() % 3 == 0) s.line(QStringLiteral("    <note>%1</note>").arg(h.among(kNotes)));
    s.line(u"  </record>"_qs);
  }
  s.line(u"</catalogue>"_qs);
}

void deep(const QString& path) {
  // Names differ by level: one name at every level would be a second root at once.
  constexpr int kDepth = 20000;
  Output s(path);
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  for (int i = 0; i < kDepth; ++i)
    s.line(QString(i % 40, u' ') + QStringLiteral("<n%1 rang=\"%1\">élément").arg(i));
  for (int i = kDepth - 1; i >= 0; --i) s.line(QString(i % 40, u' ') + QStringLiteral("</n%1>").arg(i));
}

void unclosed(const QString& path) {
  Output s(path);
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.line(u"<liste>"_qs);
  for (int i = 0; i < 200000; ++i) s.line(QStringLiteral("  <entrée numéro=\"%1\">texte à suivre").arg(i));
  s.line(u"</liste>"_qs);
}

// One record a line, its elements side by side: each start tag's overlap test sees the
// record's own start tag before it on its line, as an outer entry.
void recordCount(const QString& path, qint64 octets) {
  Output s(path);
  Random h;
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.line(u"<!DOCTYPE liste [<!ELEMENT liste (rec*)><!ELEMENT rec (nom, ville, note?)>"_qs);
  s.line(u"<!ATTLIST rec id CDATA #REQUIRED><!ELEMENT nom (#PCDATA)><!ELEMENT ville (#PCDATA)>"_qs);
  s.line(u"<!ELEMENT note (#PCDATA)>]>"_qs);
  s.line(u"<liste>"_qs);
  for (qint64 n = 1; s.sizeMb() < octets - 20; ++n) {
    QString l = QStringLiteral("<rec id=\"r%1\"><nom>%2</nom><ville>%3</ville>")
                    .arg(n).arg(h.among(kAuthors)).arg(h.among(kTitles));
    if (h.next() % 3 == 0) l += QStringLiteral("<note>%1</note>").arg(h.among(kNotes));
    s.line(l + u"</rec>"_qs);
  }
  s.line(u"</liste>"_qs);
}

// Each line one element holding its cells: every tag of the line stands behind the line's own
// start tag.
void longlines(const QString& path) {
  Output s(path);
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.line(u"<lignes>"_qs);
  QString line;
  for (int l = 0; l < 20; ++l) {
    line = u"<ligne>"_qs;
    for (int i = 0; line.size() < 500000; ++i)
      line += QStringLiteral("<case x=\"%1\"><v>é%2</v></case>").arg(i).arg(l);
    s.line(line + u"</ligne>"_qs);
  }
  s.line(u"</lignes>"_qs);
}

// Lines of 100,000 tags in the shapes where one test per tag would rescan the line: the same
// name nested 50,000 deep, 50,000 elements left open before 50,000 short ones, and 50,000
// distinct names nested.
void manytags(const QString& path) {
  constexpr int n = 50000;
  Output s(path);
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.line(u"<lignes>"_qs);
  QString l;
  for (int i = 0; i < n; ++i) l += u"<e>"_qs;
  for (int i = 0; i < n; ++i) l += u"</e>"_qs;
  s.line(l);
  l.clear();
  for (int i = 0; i < n; ++i) l += QStringLiteral("<o%1>").arg(i);
  for (int i = 0; i < n; ++i) l += u"<q></q>"_qs;
  for (int i = n - 1; i >= 0; --i) l += QStringLiteral("</o%1>").arg(i);
  s.line(l);
  l = u"<e>"_qs;
  for (int i = 0; i < n; ++i) l += QStringLiteral("<d%1></d%1>").arg(i);
  s.line(l + u"</e>"_qs);
  s.line(u"</lignes>"_qs);
}

// Fixed-width names: none is the beginning of another, which the validator would take as a
// declaration of the shorter one.
QString elementName(int i) { return QStringLiteral("e%1").arg(i, 4, 10, QChar(u'0')); }

void dtd(const QString& folder) {
  constexpr int kElements = 999;  // plus the root, declared in the internal subset
  {
    Output s(folder + u"/big.dtd"_qs);
    s.line(u"<!-- Declarations for the benchmarks -->"_qs);
    for (int i = 1; i <= kElements; ++i) {
      s.line(QStringLiteral("<!ELEMENT %1 (#PCDATA)>").arg(elementName(i)));
      if (i % 4 == 0) s.line(QStringLiteral("<!ATTLIST %1 code CDATA #REQUIRED>").arg(elementName(i)));
    }
  }
  Output s(folder + u"/dtd.xml"_qs);
  s.line(u"<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"no\"?>"_qs);
  // The internal subset stays short: only its part within 256 characters of SYSTEM is read.
  s.line(u"<!DOCTYPE racine SYSTEM \"big.dtd\" [<!ELEMENT racine ANY><!ATTLIST racine version CDATA #REQUIRED>]>"_qs);
  s.line(u"<racine version=\"1\">"_qs);
  for (int turn = 0; turn < 20; ++turn)
    for (int i = 1; i <= kElements; ++i) {
      const QString n = elementName(i);
      const QString attribute = (i % 4 == 0) ? QStringLiteral(" code=\"c%1\"").arg(turn) : QString();
      s.line(QStringLiteral("  <%1%2>donnée n°%3</%1>").arg(n, attribute).arg(turn));
    }
  s.line(u"</racine>"_qs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || QByteArray(argv[1]) == "--help") {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "gendoc : impossible de créer le dossier %s\n", argv[1]);
    return 2;
  }
  QStringList names;
  for (int i = 2; i < argc; ++i) names << QString::fromLocal8Bit(argv[i]);
  if (names.isEmpty())
    names = {u"records-1"_qs, u"records-10"_qs, u"fiches-1"_qs, u"deep"_qs, u"unclosed"_qs, u"longlines"_qs,
            u"manytags"_qs, u"dtd"_qs};

  for (const QString& name : names) {
    if (name.startsWith(u"records-"_qs) || name.startsWith(u"fiches-"_qs)) {
      const bool perLine = name.startsWith(u"fiches-"_qs);
      bool ok = false;
      const int mb = name.mid(name.indexOf(u'-') + 1).toInt(&ok);
      if (!ok || mb < 1 || mb > 10000) {
        std::fprintf(stderr, "gendoc : taille inconnue dans %s\n%s", qPrintable(name), kUsage);
        return 2;
      }
      const QString path = QStringLiteral("%1/%2-%3mb.xml").arg(folder, name.left(name.indexOf(u'-'))).arg(mb);
      if (perLine)
        recordCount(path, qint64(mb) * 1000000);
      else
        records(path, qint64(mb) * 1000000);
    } else if (name == u"deep") {
      deep(folder + u"/deep.xml"_qs);
    } else if (name == u"unclosed") {
      unclosed(folder + u"/unclosed.xml"_qs);
    } else if (name == u"longlines") {
      longlines(folder + u"/longlines.xml"_qs);
    } else if (name == u"manytags") {
      manytags(folder + u"/manytags.xml"_qs);
    } else if (name == u"dtd") {
      dtd(folder);
    } else {
      std::fprintf(stderr, "gendoc : document inconnu %s\n%s", qPrintable(name), kUsage);
      return 2;
    }
  }
  return 0;
}
