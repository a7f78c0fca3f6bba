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
class Sortie {
 public:
  explicit Sortie(const QString& chemin) : fichier_(chemin) {
    if (!fichier_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      std::fprintf(stderr, "gendoc : impossible d'écrire %s : %s\n", qPrintable(chemin),
                   qPrintable(fichier_.errorString()));
      std::exit(2);
    }
  }
  ~Sortie() {
    vide();
    if (!fichier_.flush() || fichier_.error() != QFileDevice::NoError) {
      std::fprintf(stderr, "gendoc : écriture de %s incomplète\n", qPrintable(fichier_.fileName()));
      std::exit(2);
    }
  }
  void ligne(const QString& l) {
    tampon_ += l;
    tampon_ += u"\r\n";
    if (tampon_.size() > (1 << 20)) vide();
  }
  qint64 taille() const { return fichier_.pos() + tampon_.size(); }

 private:
  void vide() {
    const QByteArray octets = cp1252::encode(tampon_);
    if (fichier_.write(octets) != octets.size()) {
      std::fprintf(stderr, "gendoc : écriture de %s impossible\n", qPrintable(fichier_.fileName()));
      std::exit(2);
    }
    tampon_.clear();
  }
  QFile fichier_;
  QString tampon_;
};

// A tiny deterministic generator: the files must be the same on every machine.
class Hasard {
 public:
  unsigned suivant() {
    etat_ = etat_ * 1103515245u + 12345u;
    return (etat_ >> 8) & 0xFFFFFF;
  }
  template <size_t N>
  QString parmi(const char16_t* const (&t)[N]) { return QString::fromUtf16(t[suivant() % N]); }

 private:
  unsigned etat_ = 20240611u;
};

const char16_t* const kTitres[] = {u"Les misérables", u"Château de Versailles", u"Crème brûlée",
                                   u"Le théâtre de l'été", u"Où est la fenêtre ?", u"Ça déménage",
                                   u"Noël à Besançon", u"L'œuvre complète", u"Forêt d'Orléans"};
const char16_t* const kAuteurs[] = {u"Émile Zola", u"Honoré de Balzac", u"Gérard de Nerval",
                                    u"Aurélie Dupré", u"François Mauriac", u"Anaïs Nin"};
const char16_t* const kNotes[] = {u"Édition révisée &amp; augmentée", u"Préface de l'éditeur",
                                  u"Très bon état, reliure d'époque", u"Épuisé &#233;dition 1998",
                                  u"Dédicacé par l'auteur"};
const char16_t* const kTypes[] = {u"livre", u"revue", u"disque", u"carte"};

void records(const QString& chemin, qint64 octets) {
  Sortie s(chemin);
  Hasard h;
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.ligne(u"<!DOCTYPE catalogue ["_qs);
  s.ligne(u"<!ELEMENT catalogue (record*)>"_qs);
  s.ligne(u"<!ELEMENT record (title, author, price, note?)>"_qs);
  s.ligne(u"<!ATTLIST record id ID #REQUIRED type CDATA #IMPLIED>"_qs);
  s.ligne(u"<!ELEMENT title (#PCDATA)>"_qs);
  s.ligne(u"<!ELEMENT author (#PCDATA)>"_qs);
  s.ligne(u"<!ELEMENT price (#PCDATA)>"_qs);
  s.ligne(u"<!ATTLIST price currency CDATA #REQUIRED>"_qs);
  s.ligne(u"<!ELEMENT note (#PCDATA)>"_qs);
  s.ligne(u"]>"_qs);
  s.ligne(u"<catalogue>"_qs);
  for (qint64 n = 1; s.taille() < octets - 20; ++n) {
    s.ligne(QStringLiteral("  <record id=\"r%1\" type=\"%2\">").arg(n).arg(h.parmi(kTypes)));
    s.ligne(QStringLiteral("    <title>%1, tome %2</title>").arg(h.parmi(kTitres)).arg(h.suivant() % 40 + 1));
    s.ligne(QStringLiteral("    <author>%1</author>").arg(h.parmi(kAuteurs)));
    s.ligne(QStringLiteral("    <price currency=\"EUR\">%1,%2</price>").arg(h.suivant() % 90 + 5).arg(h.suivant() % 100, 2, 10, QChar(u'0')));
    if (h.suivant() % 3 == 0) s.ligne(QStringLiteral("    <note>%1</note>").arg(h.parmi(kNotes)));
    s.ligne(u"  </record>"_qs);
  }
  s.ligne(u"</catalogue>"_qs);
}

void deep(const QString& chemin) {
  // Names differ by level: one name at every level would be a second root at once.
  constexpr int kProfondeur = 20000;
  Sortie s(chemin);
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  for (int i = 0; i < kProfondeur; ++i)
    s.ligne(QString(i % 40, u' ') + QStringLiteral("<n%1 rang=\"%1\">élément").arg(i));
  for (int i = kProfondeur - 1; i >= 0; --i) s.ligne(QString(i % 40, u' ') + QStringLiteral("</n%1>").arg(i));
}

void unclosed(const QString& chemin) {
  Sortie s(chemin);
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.ligne(u"<liste>"_qs);
  for (int i = 0; i < 200000; ++i) s.ligne(QStringLiteral("  <entrée numéro=\"%1\">texte à suivre").arg(i));
  s.ligne(u"</liste>"_qs);
}

// One record a line, its elements side by side: each start tag's overlap test sees the
// record's own start tag before it on its line, as an outer entry.
void fiches(const QString& chemin, qint64 octets) {
  Sortie s(chemin);
  Hasard h;
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.ligne(u"<!DOCTYPE liste [<!ELEMENT liste (rec*)><!ELEMENT rec (nom, ville, note?)>"_qs);
  s.ligne(u"<!ATTLIST rec id CDATA #REQUIRED><!ELEMENT nom (#PCDATA)><!ELEMENT ville (#PCDATA)>"_qs);
  s.ligne(u"<!ELEMENT note (#PCDATA)>]>"_qs);
  s.ligne(u"<liste>"_qs);
  for (qint64 n = 1; s.taille() < octets - 20; ++n) {
    QString l = QStringLiteral("<rec id=\"r%1\"><nom>%2</nom><ville>%3</ville>")
                    .arg(n).arg(h.parmi(kAuteurs)).arg(h.parmi(kTitres));
    if (h.suivant() % 3 == 0) l += QStringLiteral("<note>%1</note>").arg(h.parmi(kNotes));
    s.ligne(l + u"</rec>"_qs);
  }
  s.ligne(u"</liste>"_qs);
}

// Each line one element holding its cells: every tag of the line stands behind the line's own
// start tag.
void longlines(const QString& chemin) {
  Sortie s(chemin);
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.ligne(u"<lignes>"_qs);
  QString ligne;
  for (int l = 0; l < 20; ++l) {
    ligne = u"<ligne>"_qs;
    for (int i = 0; ligne.size() < 500000; ++i)
      ligne += QStringLiteral("<case x=\"%1\"><v>é%2</v></case>").arg(i).arg(l);
    s.ligne(ligne + u"</ligne>"_qs);
  }
  s.ligne(u"</lignes>"_qs);
}

// Lines of 100,000 tags in the shapes where one test per tag would rescan the line: the same
// name nested 50,000 deep, 50,000 elements left open before 50,000 short ones, and 50,000
// distinct names nested.
void manytags(const QString& chemin) {
  constexpr int n = 50000;
  Sortie s(chemin);
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\"?>"_qs);
  s.ligne(u"<lignes>"_qs);
  QString l;
  for (int i = 0; i < n; ++i) l += u"<e>"_qs;
  for (int i = 0; i < n; ++i) l += u"</e>"_qs;
  s.ligne(l);
  l.clear();
  for (int i = 0; i < n; ++i) l += QStringLiteral("<o%1>").arg(i);
  for (int i = 0; i < n; ++i) l += u"<q></q>"_qs;
  for (int i = n - 1; i >= 0; --i) l += QStringLiteral("</o%1>").arg(i);
  s.ligne(l);
  l = u"<e>"_qs;
  for (int i = 0; i < n; ++i) l += QStringLiteral("<d%1></d%1>").arg(i);
  s.ligne(l + u"</e>"_qs);
  s.ligne(u"</lignes>"_qs);
}

// Fixed-width names: none is the beginning of another, which the validator would take as a
// declaration of the shorter one.
QString nomElement(int i) { return QStringLiteral("e%1").arg(i, 4, 10, QChar(u'0')); }

void dtd(const QString& dossier) {
  constexpr int kElements = 999;  // plus the root, declared in the internal subset
  {
    Sortie s(dossier + u"/big.dtd"_qs);
    s.ligne(u"<!-- Declarations for the benchmarks -->"_qs);
    for (int i = 1; i <= kElements; ++i) {
      s.ligne(QStringLiteral("<!ELEMENT %1 (#PCDATA)>").arg(nomElement(i)));
      if (i % 4 == 0) s.ligne(QStringLiteral("<!ATTLIST %1 code CDATA #REQUIRED>").arg(nomElement(i)));
    }
  }
  Sortie s(dossier + u"/dtd.xml"_qs);
  s.ligne(u"<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"no\"?>"_qs);
  // The internal subset stays short: only its part within 256 characters of SYSTEM is read.
  s.ligne(u"<!DOCTYPE racine SYSTEM \"big.dtd\" [<!ELEMENT racine ANY><!ATTLIST racine version CDATA #REQUIRED>]>"_qs);
  s.ligne(u"<racine version=\"1\">"_qs);
  for (int tour = 0; tour < 20; ++tour)
    for (int i = 1; i <= kElements; ++i) {
      const QString n = nomElement(i);
      const QString attribut = (i % 4 == 0) ? QStringLiteral(" code=\"c%1\"").arg(tour) : QString();
      s.ligne(QStringLiteral("  <%1%2>donnée n°%3</%1>").arg(n, attribut).arg(tour));
    }
  s.ligne(u"</racine>"_qs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || QByteArray(argv[1]) == "--help") {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const QString dossier = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dossier)) {
    std::fprintf(stderr, "gendoc : impossible de créer le dossier %s\n", argv[1]);
    return 2;
  }
  QStringList noms;
  for (int i = 2; i < argc; ++i) noms << QString::fromLocal8Bit(argv[i]);
  if (noms.isEmpty())
    noms = {u"records-1"_qs, u"records-10"_qs, u"fiches-1"_qs, u"deep"_qs, u"unclosed"_qs, u"longlines"_qs,
            u"manytags"_qs, u"dtd"_qs};

  for (const QString& nom : noms) {
    if (nom.startsWith(u"records-"_qs) || nom.startsWith(u"fiches-"_qs)) {
      const bool parLigne = nom.startsWith(u"fiches-"_qs);
      bool ok = false;
      const int mo = nom.mid(nom.indexOf(u'-') + 1).toInt(&ok);
      if (!ok || mo < 1 || mo > 10000) {
        std::fprintf(stderr, "gendoc : taille inconnue dans %s\n%s", qPrintable(nom), kUsage);
        return 2;
      }
      const QString chemin = QStringLiteral("%1/%2-%3mb.xml").arg(dossier, nom.left(nom.indexOf(u'-'))).arg(mo);
      if (parLigne)
        fiches(chemin, qint64(mo) * 1000000);
      else
        records(chemin, qint64(mo) * 1000000);
    } else if (nom == u"deep") {
      deep(dossier + u"/deep.xml"_qs);
    } else if (nom == u"unclosed") {
      unclosed(dossier + u"/unclosed.xml"_qs);
    } else if (nom == u"longlines") {
      longlines(dossier + u"/longlines.xml"_qs);
    } else if (nom == u"manytags") {
      manytags(dossier + u"/manytags.xml"_qs);
    } else if (nom == u"dtd") {
      dtd(dossier);
    } else {
      std::fprintf(stderr, "gendoc : document inconnu %s\n%s", qPrintable(nom), kUsage);
      return 2;
    }
  }
  return 0;
}
