// The fast checks against the plain reference, on seeded random documents. A mismatch prints
// the seed, the document and a reduced document that still shows it.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>

#include "Dtd.h"
#include "Generateur.h"
#include "Octets.h"
#include "Reference.h"
#include "Wellformed.h"
#include "tags.h"

// Readable texts in failure messages; internal linkage, so that no other test file can clash.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using Diff = std::function<QString(const QStringList&)>;  // empty when both sides agree

// Fixed, so that a failure repeats; TOVELO_GRAINE=<n> explores other documents.
const quint32 kGraine = qEnvironmentVariableIsSet("TOVELO_GRAINE")
                            ? quint32(qEnvironmentVariableIntValue("TOVELO_GRAINE"))
                            : 20240611u;

// One line per document line, as a C++ literal, so that a failing case can be pasted into a test.
QString enLitteraux(const QStringList& lignes) {
  QString out;
  for (const QString& l : lignes) {
    QString e = l;
    e.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\"")).replace(u'\t', QStringLiteral("\\t"));
    out += QStringLiteral("  u\"") + e + QStringLiteral("\",\n");
  }
  return out;
}

// Drops lines, then runs of characters, while the mismatch stays; a bounded number of tries,
// so that a failing run still ends soon.
QStringList reduit(QStringList doc, const Diff& differe) {
  int essais = 20000;
  const auto garde = [&](const QStringList& essai) { return --essais > 0 && !differe(essai).isEmpty(); };
  for (bool progres = true; progres && essais > 0;) {
    progres = false;
    for (qsizetype i = 0; i < doc.size() && doc.size() > 1;) {
      QStringList essai = doc;
      essai.removeAt(i);
      if (garde(essai)) {
        doc = essai;
        progres = true;
      } else {
        ++i;
      }
    }
    for (qsizetype pas : {256, 16, 1}) {
      for (qsizetype i = 0; i < doc.size(); ++i) {
        for (qsizetype p = 0; p < doc[i].size();) {
          QStringList essai = doc;
          essai[i].remove(p, pas);
          if (garde(essai)) {
            doc = essai;
            progres = true;
          } else {
            p += pas;
          }
        }
      }
    }
  }
  return doc;
}

// Runs differe on every case; reports the first few mismatches, the first one reduced.
class Comparateur {
 public:
  Comparateur(const char* quoi, quint32 graine) : quoi_(quoi), graine_(graine) {}
  ~Comparateur() { EXPECT_EQ(ecarts_, 0) << ecarts_ << " mismatches in " << quoi_; }

  void compare(int cas, const QStringList& doc, const Diff& differe, const QStringList& externe = {}) {
    const QString ecart = differe(doc);
    if (ecart.isEmpty()) return;
    if (++ecarts_ > 3) return;
    QString rapport = QStringLiteral("%1, seed %2, case %3: %4\nDocument:\n%5")
                          .arg(QString::fromUtf8(quoi_)).arg(graine_).arg(cas).arg(ecart, enLitteraux(doc));
    if (!externe.isEmpty()) rapport += QStringLiteral("External DTD:\n") + enLitteraux(externe);
    if (ecarts_ == 1) {
      const QStringList petit = reduit(doc, differe);
      rapport += QStringLiteral("Reduced:\n") + enLitteraux(petit) + differe(petit);
    }
    ADD_FAILURE() << rapport.toStdString();
  }

 private:
  const char* quoi_;
  quint32 graine_;
  int ecarts_ = 0;
};

QString ecartFaute(const char* quoi, const reference::Resultat& attendu, const analysis::Fault& obtenu) {
  if (attendu.code == obtenu.code && attendu.texte == obtenu.text) return {};
  return QStringLiteral("%1: reference %2 \"%3\", product %4 \"%5\"")
      .arg(QString::fromUtf8(quoi)).arg(attendu.code).arg(attendu.texte).arg(obtenu.code).arg(obtenu.text);
}

reference::Chargeur chargeurDe(const QString& nom, const QStringList& externe) {
  return [nom, externe](const QString& demande, QStringList& lignes) {
    if (nom.isEmpty() || demande != nom) return false;
    lignes = externe;
    return true;
  };
}

// The same file for the product, which asks for it by its bytes.
analysis::DtdLoader chargeurProduit(const QString& nom, const QStringList& externe) {
  if (nom.isEmpty()) return [](std::string_view, std::vector<std::string>&) { return false; };
  return fichierUnique(nom, externe);
}

struct Question {
  int ligne;
  qsizetype position;
  QString cle;
};

// The start tags of each line with their keys, found without the comment state, so that the
// overlap test is also asked about tags that the main pass would skip.
std::vector<Question> balisesOuvrantes(const QStringList& lignes) {
  std::vector<Question> out;
  for (int i = 0; i < lignes.size(); ++i)
    for (qsizetype p = 0; p < lignes[i].size(); ++p)
      if (lignes[i][p] == u'<') {
        const QString k = reference::NomBalise(lignes[i].mid(p));
        if (!k.isEmpty()) out.push_back({i, p, k});
      }
  return out;
}

TEST(Differentiel, TagFunctionsAgreeOnRandomText) {
  reference::Generateur g(kGraine);
  Comparateur c("tag functions", kGraine);
  for (int cas = 0; cas < 20000; ++cas) {
    QString texte = g.bruit(70);
    if (g.chance(0.5)) texte.prepend(g.chance(0.3) ? QStringLiteral("</") : QStringLiteral("<"));
    const QStringList ligne{texte};
    c.compare(cas, ligne, [](const QStringList& d) {
      const QString& t = d.value(0);
      QStringList ecarts;
      const std::string o = octets(t);
      // A window begins with its "<".
      if (t.startsWith(u'<') && reference::NomBalise(t) != analysis::NomBalise(o).toQString())
        ecarts << QStringLiteral("NomBalise ") + reference::NomBalise(t) + QStringLiteral(" / ") + analysis::NomBalise(o).toQString();
      if (t.startsWith(QStringLiteral("</")) && reference::cleFin(t) != analysis::endTagKey(o).toQString())
        ecarts << QStringLiteral("endTagKey ") + reference::cleFin(t) + QStringLiteral(" / ") + analysis::endTagKey(o).toQString();
      if (reference::ValeurGuillemets(t) != enTexte(analysis::ValeurGuillemets(o)))
        ecarts << QStringLiteral("ValeurGuillemets ") + reference::ValeurGuillemets(t) + QStringLiteral(" / ") +
                      enTexte(analysis::ValeurGuillemets(o));
      if (reference::ControleAttributs(t) != analysis::ControleAttributs(o))
        ecarts << QStringLiteral("ControleAttributs %1 / %2").arg(reference::ControleAttributs(t)).arg(analysis::ControleAttributs(o));
      for (qsizetype p = 0; p < t.size(); ++p)
        if (t[p] == u'&' && reference::estReference(t, p + 1) != analysis::isReference(o, p))
          ecarts << QStringLiteral("reference at %1").arg(p);
      bool actif = false;
      analysis::CommentState etat;
      analysis::LineTags balises(o);
      for (qsizetype p = 0; p < t.size(); ++p) {
        if (reference::commentaire(actif, t, p + 1) != etat.skips(o, p)) {
          ecarts << QStringLiteral("comment state at %1").arg(p);
          break;
        }
        // The keys of a line's scanner, asked in order along the line, against each window.
        if (t[p] != u'<') continue;
        const QString w = t.mid(p);
        const bool fin = w.size() > 1 && w[1] == u'/';
        const QString attendu = fin ? reference::cleFin(w) : reference::NomBalise(w);
        if (attendu != balises.key(p).toQString()) {
          ecarts << QStringLiteral("key at %1: %2 / %3").arg(p).arg(attendu, balises.key(p).toQString());
          break;
        }
        if (!fin && reference::ControleAttributs(w) != balises.attributes(p)) {
          ecarts << QStringLiteral("attributes at %1").arg(p);
          break;
        }
      }
      return ecarts.join(u'\n');
    });
  }
}

TEST(Differentiel, KeysCompareWithoutRegardToCaseLikeTheReference) {
  const QString lettres = QStringLiteral("aAzZéÉçÇÿŸšŠœŒßµ<>");  // pairs: i and i ^ 1
  reference::Generateur g(kGraine + 1);
  int egales = 0;
  for (int cas = 0; cas < 5000; ++cas) {
    QString a, b;
    for (int n = g.nombre(0, 4); n > 0; --n) {
      const int i = g.nombre(0, int(lettres.size()) - 1);
      a += lettres[i];
      // Mostly the same letter in the other case, so that equal keys are common.
      b += g.chance(0.85) ? (g.chance(0.5) ? lettres[i ^ 1] : lettres[i]) : lettres[g.nombre(0, int(lettres.size()) - 1)];
    }
    const bool attendu = reference::memeCle(a, b);
    egales += attendu;
    EXPECT_EQ(attendu, analysis::sameKeyIgnoringCase(octets(a), octets(b))) << a.toStdString() << " / " << b.toStdString();
  }
  EXPECT_GT(egales, 500);
}

// The comparison of one overlap question, on the document and on its reductions.
auto memeChevauchement(const Question& q) {
  return [q](const QStringList& d) {
    if (q.ligne >= d.size()) return QString();
    const bool attendu = reference::Chevauche(d, q.cle, q.ligne, q.position);
    return attendu == produitChevauche(d, q.cle, q.ligne, q.position)
               ? QString()
               : QStringLiteral("Chevauche(%1, %2, %3): reference %4")
                     .arg(q.cle).arg(q.ligne).arg(q.position).arg(attendu);
  };
}

TEST(Differentiel, ValidAndChevaucheAgreeOnRandomDocuments) {
  reference::Generateur g(kGraine + 2);
  Comparateur valid("Valid", kGraine + 2);
  Comparateur chevauche("Chevauche", kGraine + 2);
  std::map<int, int> codes;
  for (int cas = 0; cas < 15000; ++cas) {
    const QStringList doc = g.document();
    codes[reference::Valid(doc).code]++;
    valid.compare(cas, doc, [](const QStringList& d) {
      const QString e = ecartFaute("Valid", reference::Valid(d), produitValid(d));
      if (!e.isEmpty()) return e;
      const QString attendu = reference::rapport(d, false, {});
      const QString obtenu = produitRapport(d, false, {});
      return attendu == obtenu ? QString() : QStringLiteral("message: ") + attendu + QStringLiteral(" / ") + obtenu;
    });
    if (cas % 3 != 0) continue;  // the overlap test on every tag is the slow part
    for (const Question& q : balisesOuvrantes(doc)) {
      chevauche.compare(cas, doc, memeChevauchement(q));
    }
  }
  // The generator must reach every outcome, or the comparison proves little.
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7}) EXPECT_GT(codes[code], 100) << "code " << code;
}

TEST(Differentiel, ValidAgreesOnLongerDocuments) {
  reference::Generateur g(kGraine + 4);
  Comparateur valid("Valid (longer documents)", kGraine + 4);
  std::map<int, int> codes;
  for (int cas = 0; cas < 800; ++cas) {
    const QStringList doc = g.documentLong(g.nombre(5, 80));
    codes[reference::Valid(doc).code]++;
    valid.compare(cas, doc, [](const QStringList& d) {
      return ecartFaute("Valid", reference::Valid(d), produitValid(d));
    });
  }
  EXPECT_GT(codes[0], 200);
  EXPECT_GT(codes[7], 100);
}

// Many tags a line: each start tag's scan takes what stands before it on its line as outer
// entries, which is where a shared walk could drift from the per-tag scans.
TEST(Differentiel, ValidAndChevaucheAgreeOnRecordsALine) {
  reference::Generateur g(kGraine + 5);
  Comparateur valid("Valid (records a line)", kGraine + 5);
  Comparateur chevauche("Chevauche (records a line)", kGraine + 5);
  std::map<int, int> codes;
  int vrais = 0, questions = 0;
  for (int cas = 0; cas < 1500; ++cas) {
    const QStringList doc = g.documentFiches(g.nombre(1, 15));
    codes[reference::Valid(doc).code]++;
    valid.compare(cas, doc, [](const QStringList& d) {
      return ecartFaute("Valid", reference::Valid(d), produitValid(d));
    });
    for (const Question& q : balisesOuvrantes(doc)) {
      const bool attendu = reference::Chevauche(doc, q.cle, q.ligne, q.position);
      vrais += attendu;
      ++questions;
      chevauche.compare(cas, doc, memeChevauchement(q));
    }
  }
  EXPECT_GT(codes[0], 250);
  EXPECT_GT(codes[7], 250);
  EXPECT_GT(vrais, questions / 20);
  EXPECT_LT(vrais, questions / 2);
}

TEST(Differentiel, LitDtdAndValiddtdAgreeOnRandomDocuments) {
  reference::Generateur g(kGraine + 3);
  Comparateur lit("LitDtd", kGraine + 3);
  Comparateur validdtd("Validdtd", kGraine + 3);
  Comparateur externe("Validdtd (external file reduced)", kGraine + 3);
  std::map<int, int> codes;
  int avecExterne = 0;
  for (int cas = 0; cas < 10000; ++cas) {
    const reference::DocumentDtd d = g.documentDtd();
    const reference::Chargeur charge = chargeurDe(d.nomExterne, d.externe);
    const analysis::DtdLoader chargeP = chargeurProduit(d.nomExterne, d.externe);
    avecExterne += !d.nomExterne.isEmpty();
    codes[reference::Validdtd(d.lignes, charge).code]++;
    const auto liste = [&charge, &chargeP](const QStringList& doc) {
      const QStringList attendu = reference::LitDtd(doc, charge);
      const QStringList obtenu = produitLitDtd(doc, chargeP);
      if (attendu == obtenu) return QString();
      return QStringLiteral("reference list:\n") + enLitteraux(attendu) + QStringLiteral("product list:\n") +
             enLitteraux(obtenu);
    };
    const auto dtd = [&charge, &chargeP](const QStringList& doc) {
      const QString e = ecartFaute("Validdtd", reference::Validdtd(doc, charge), produitValiddtd(doc, chargeP));
      if (!e.isEmpty()) return e;
      const QString attendu = reference::rapport(doc, true, charge);
      const QString obtenu = produitRapport(doc, true, chargeP);
      return attendu == obtenu ? QString() : QStringLiteral("message: ") + attendu + QStringLiteral(" / ") + obtenu;
    };
    lit.compare(cas, d.lignes, liste, d.externe);
    validdtd.compare(cas, d.lignes, dtd, d.externe);
    // The same mismatch reduced on the external file's side, when it is the external file's doing.
    if (!d.nomExterne.isEmpty() && !dtd(d.lignes).isEmpty()) {
      externe.compare(cas, d.externe, [&](const QStringList& ext) {
        const reference::Chargeur c2 = chargeurDe(d.nomExterne, ext);
        return ecartFaute("Validdtd", reference::Validdtd(d.lignes, c2), produitValiddtd(d.lignes, chargeurProduit(d.nomExterne, ext)));
      });
    }
  }
  EXPECT_GT(avecExterne, 3000);
  for (int code : {0, 11, 12}) EXPECT_GT(codes[code], 200) << "code " << code;
}

// Edge cases with known answers, on both sides: the reference is checked as much as
// the product here.
struct Cas {
  const char* nom;
  QStringList lignes;
  int code;
  QString texte;
};

TEST(KnownAnswers, WellFormednessCasesGiveTheirFaultOnBothSides) {
  const std::vector<Cas> cas = {
      {"new document", {u"<?xml version=\"1.0\"?>"_qs, u"<body>"_qs, u""_qs, u"</body>"_qs}, 0, {}},
      {"unclosed", {u"<a>"_qs}, 1, u"<a>"_qs},
      {"earliest unclosed", {u"<r><a><b></r>"_qs}, 1, u"<a>"_qs},
      {"unopened", {u"</a>"_qs}, 2, u"<a>"_qs},
      {"last unopened", {u"</a>"_qs, u"</b>"_qs}, 2, u"<b>"_qs},
      {"unopened wins over unclosed", {u"<a>"_qs, u"</b>"_qs}, 2, u"<b>"_qs},
      {"root nested", {u"<r><r></r></r>"_qs}, 3, u"<r>"_qs},
      {"second root", {u"<r></r>"_qs, u"<r></r>"_qs}, 3, u"<r>"_qs},
      {"unquoted", {u"<p lang=fr>"_qs}, 4, u"<p>"_qs},
      {"apostrophes", {u"<p lang='fr'></p>"_qs}, 0, {}},
      {"blanks around =", {u"<p lang = \"fr\"></p>"_qs}, 0, {}},
      {"= in a value", {u"<a href=\"x.php?id=3\">"_qs, u"</a>"_qs}, 0, {}},
      {"unquoted in an empty element", {u"<r><p lang=fr/></r>"_qs}, 4, u"<p>"_qs},
      {"bare ampersand", {u"AT&T company"_qs}, 5, u"&T company"_qs},
      {"references", {u"<a>&amp; &#233;</a>"_qs}, 0, {}},
      {"ampersand in a comment", {u"<a><!-- x & y --></a>"_qs}, 0, {}},
      {"long entity name", {u"<a>&Lauri.Watts;</a>"_qs}, 0, {}},
      {"standalone maybe", {u"<?xml version=\"1.0\" standalone=\"maybe\"?>"_qs, u"<a/>"_qs}, 6, {}},
      {"standalone yes", {u"<?xml version=\"1.0\" standalone=\"yes\"?>"_qs}, 0, {}},
      {"standalone 'no'", {u"<?xml version=\"1.0\" standalone='no'?>"_qs}, 0, {}},
      {"standalone empty", {u"<?xml version=\"1.0\" standalone=\"\"?>"_qs}, 6, {}},
      {"overlap on four lines", {u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, 7, u"<b>"_qs},
      {"overlap on one line", {u"<a><b></a></b>"_qs}, 0, {}},
      {"an end tag before the tag on its line is passed over",
       {u"<r>"_qs, u"<x>"_qs, u"</x><y>"_qs, u"</y>"_qs, u"</r>"_qs}, 0, {}},
      {"one record a line",
       {u"<liste>"_qs, u"<rec><nom>Dupont</nom><ville>Lyon</ville></rec>"_qs,
        u"<rec><nom>Durand</nom><ville>Nîmes</ville></rec>"_qs, u"</liste>"_qs}, 0, {}},
      {"a record a line still overlapping", {u"<liste>"_qs, u"<rec><nom>Dupont</rec></nom>"_qs, u"</liste>"_qs},
       7, u"<rec>"_qs},
      {"empty tag later on the line", {u"<a><b/></a>"_qs}, 0, {}},
      {"empty tags", {u"<r>"_qs, u"<br/>"_qs, u"<br />"_qs, u"</r>"_qs}, 0, {}},
      {"case of the open list", {u"<A>"_qs, u"</a>"_qs}, 0, {}},
      {"case of the root", {u"<r>"_qs, u"<R></R>"_qs, u"</r>"_qs}, 0, {}},
      {"comment across lines", {u"<r><!-- <x>"_qs, u"<y> -->"_qs, u"</r>"_qs}, 0, {}},
      {"end tag in CDATA", {u"<![CDATA[</x>]]>"_qs}, 0, {}},
      {"long name", {u"<a>"_qs, u"<"_qs + QString(70, u'n') + u">"_qs, u"</a>"_qs}, 1,
       u"<"_qs + QString(70, u'n') + u">"_qs},
      {"no tags", {u"plain text"_qs}, 0, {}},
  };
  for (const Cas& c : cas) {
    const reference::Resultat r = reference::Valid(c.lignes);
    EXPECT_EQ(r.code, c.code) << "reference, " << c.nom;
    EXPECT_EQ(r.texte, c.texte) << "reference, " << c.nom;
    const analysis::Fault f = produitValid(c.lignes);
    EXPECT_EQ(f.code, c.code) << "product, " << c.nom;
    EXPECT_EQ(f.text, c.texte) << "product, " << c.nom;
  }
}

TEST(KnownAnswers, ValidationCasesGiveTheirFaultOnBothSides) {
  const QStringList interne = {u"<!DOCTYPE r ["_qs, u"<!ELEMENT r (a)*>"_qs, u"<!ELEMENT a (#PCDATA)>"_qs, u"]>"_qs};
  const QStringList body = {u"<!DOCTYPE body ["_qs, u"<!ELEMENT body (#PCDATA)>"_qs, u"]>"_qs};
  const QStringList requis = {u"<!DOCTYPE a ["_qs, u"<!ELEMENT a (#PCDATA)>"_qs,
                              u"<!ATTLIST a id CDATA #REQUIRED>"_qs, u"]>"_qs};
  // One-line sections: a raw line of the file that begins with a declaration declares too.
  const QStringList externe = {u"<!ELEMENT r ANY>"_qs, u"<![IGNORE[<!ELEMENT a ANY>]]>"_qs,
                               u"<![IGNORE[<!ELEMENT b ANY>]]>"_qs};
  const auto plus = [](QStringList a, const QStringList& b) { return a + b; };
  const std::vector<Cas> cas = {
      {"no DOCTYPE", {u"<r><a/></r>"_qs}, 0, {}},
      {"undeclared", plus(interne, {u"<r><a>x</a><b>y</b></r>"_qs}), 11, u"<b>"_qs},
      {"declared name begins with the tag's", plus(body, {u"<bo></bo>"_qs}), 0, u"<bo>"_qs},
      {"required attribute missing", plus(requis, {u"<a>"_qs, u"</a>"_qs}), 12, u"<a>"_qs},
      {"required attribute present", plus(requis, {u"<a id=\"1\">"_qs, u"</a>"_qs}), 0, u"<a>"_qs},
      {"undeclared wins over missing",
       {u"<!DOCTYPE a ["_qs, u"<!ELEMENT a ANY>"_qs, u"<!ATTLIST x id CDATA #REQUIRED>"_qs, u"]>"_qs, u"<x>"_qs},
       11, u"<x>"_qs},
      {"empty tag checked by its name", plus(interne, {u"<r><br/></r>"_qs}), 11, u"<br>"_qs},
      {"start tag in a comment", plus(interne, {u"<r><!-- <z> --></r>"_qs}), 0, u"<r>"_qs},
      {"start tag in CDATA", plus(interne, {u"<r><![CDATA[<z>]]></r>"_qs}), 0, u"<r>"_qs},
      {"external file", {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<r><b/></r>"_qs}, 0, u"<b>"_qs},
      {"first IGNORE section cut", {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<r><a/></r>"_qs}, 11, u"<a>"_qs},
      {"absent external file", {u"<!DOCTYPE r SYSTEM \"absent.dtd\">"_qs, u"<r><a/></r>"_qs}, 0, {}},
  };
  const auto charge = chargeurDe(u"r.dtd"_qs, externe);
  const auto chargeP = chargeurProduit(u"r.dtd"_qs, externe);
  for (const Cas& c : cas) {
    const reference::Resultat r = reference::Validdtd(c.lignes, charge);
    EXPECT_EQ(r.code, c.code) << "reference, " << c.nom;
    EXPECT_EQ(r.texte, c.texte) << "reference, " << c.nom;
    const analysis::Fault f = produitValiddtd(c.lignes, chargeP);
    EXPECT_EQ(f.code, c.code) << "product, " << c.nom;
    EXPECT_EQ(f.text, c.texte) << "product, " << c.nom;
  }
}

TEST(KnownAnswers, DeclarationListHoldsTheExternalLinesThenElementsThenAttributeLists) {
  const QStringList externe = {u"  <!ELEMENT e ANY>"_qs, u"<![IGNORE[<!ELEMENT i ANY>]]>"_qs,
                               u"<!ATTLIST e id CDATA #REQUIRED>"_qs};
  const QStringList doc = {u"<!DOCTYPE r SYSTEM 'e.dtd' [<!ELEMENT r ANY>]>"_qs, u"<r/>"_qs};
  const QStringList attendu = externe + QStringList{u"<!ELEMENT e ANY>"_qs, u"<!ATTLIST e id CDATA #REQUIRED>"_qs};
  // The internal subset gives nothing here: once the IGNORE cut has run, the subset test reads
  // the external text before the section, which holds no "]>".
  EXPECT_EQ(reference::LitDtd(doc, chargeurDe(u"e.dtd"_qs, externe)), attendu);
  EXPECT_EQ(produitLitDtd(doc, chargeurProduit(u"e.dtd"_qs, externe)), attendu);
}

// A declaration is found when it begins within 4096 characters of the previous one of its kind,
// however far from the first. The external file here is one line, so that its raw line declares
// "a" only.
TEST(KnownAnswers, DeclarationsAreFoundWithin4096CharactersOfThePreviousOne) {
  const QString pres(3000, u' ');
  const QString loin(4100, u' ');
  const QStringList externe = {u"<!ELEMENT a ANY>"_qs + pres + u"<!ELEMENT b ANY>"_qs + pres + u"<!ELEMENT c ANY>"_qs +
                               loin + u"<!ELEMENT d ANY>"_qs};
  const QStringList doc = {u"<!DOCTYPE a SYSTEM \"x.dtd\">"_qs, u"<a>"_qs, u"<b/>"_qs, u"<c/>"_qs, u"<d/>"_qs, u"</a>"_qs};
  const auto charge = chargeurDe(u"x.dtd"_qs, externe);
  const auto chargeP = chargeurProduit(u"x.dtd"_qs, externe);
  const QStringList attendu =
      externe + QStringList{u"<!ELEMENT a ANY>"_qs, u"<!ELEMENT b ANY>"_qs, u"<!ELEMENT c ANY>"_qs};
  EXPECT_EQ(reference::LitDtd(doc, charge), attendu);
  EXPECT_EQ(produitLitDtd(doc, chargeP), attendu);
  const reference::Resultat r = reference::Validdtd(doc, charge);
  EXPECT_EQ(r.code, 11);
  EXPECT_EQ(r.texte, u"<d>"_qs);
  const analysis::Fault f = produitValiddtd(doc, chargeP);
  EXPECT_EQ(f.code, 11);
  EXPECT_EQ(f.text, u"<d>"_qs);
}

// The key "<>" (of "<>" or "< x>") has an empty name, and every text begins with the empty
// text: an element declaration of any length declares it, a raw "<!ELEMENT" line too (its text
// from the 11th character is empty).
TEST(KnownAnswers, EmptyNameIsDeclaredByAnyElementDeclaration) {
  const QStringList doc = {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<>"_qs};
  for (const QString& ligne : {u"<!ELEMENT"_qs, u"<!ELEMENT r ANY>"_qs}) {
    const auto charge = chargeurDe(u"r.dtd"_qs, {ligne});
    const auto chargeP = chargeurProduit(u"r.dtd"_qs, {ligne});
    const reference::Resultat r = reference::Validdtd(doc, charge);
    EXPECT_EQ(r.code, 0) << ligne.toStdString();
    EXPECT_EQ(r.texte, u"<>"_qs);
    const analysis::Fault f = produitValiddtd(doc, chargeP);
    EXPECT_EQ(f.code, 0) << ligne.toStdString();
    EXPECT_EQ(f.text, u"<>"_qs);
  }
}

TEST(KnownAnswers, MessagesAreTheEditorsTexts) {
  const std::vector<std::pair<QStringList, QString>> cas = {
      {{u"<a>"_qs}, u"Balise <a> non fermée"_qs},
      {{u"</a>"_qs}, u"Balise <a> non ouverte"_qs},
      {{u"<r></r><r></r>"_qs}, u"Racine <r> non unique"_qs},
      {{u"<p lang=fr>"_qs}, u"Attribut dans la balise <p> incorrect"_qs},
      {{u"AT&T company"_qs}, u"&T company Manque ; en fin d'entité"_qs},
      {{u"<?xml standalone=\"maybe\"?>"_qs}, u"Déclaration xml ou attribut standalone incorrect"_qs},
      {{u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, u"Balise <b> chevauchée"_qs},
      {{u"<r/>"_qs}, u"Le document est bien formé"_qs},
  };
  for (const auto& [lignes, texte] : cas) {
    EXPECT_EQ(reference::rapport(lignes, false, {}), texte);
    EXPECT_EQ(produitRapport(lignes, false, {}), texte);
  }
  const QStringList dtd = {u"<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r id CDATA #REQUIRED>]>"_qs};
  const std::vector<std::pair<QStringList, QString>> validation = {
      {dtd + QStringList{u"<r id='1'><x></x></r>"_qs}, u"Balise <x> non déclarée"_qs},
      {dtd + QStringList{u"<r></r>"_qs}, u"Attribut dans balise <r> manquant"_qs},
      {dtd + QStringList{u"<r id='1'></r>"_qs}, u"Le document est valide"_qs},
      {dtd + QStringList{u"<r id='1'>"_qs}, u"Balise <r> non fermée"_qs},
  };
  for (const auto& [lignes, texte] : validation) {
    EXPECT_EQ(reference::rapport(lignes, true, {}), texte);
    EXPECT_EQ(produitRapport(lignes, true, {}), texte);
  }
}

}  // namespace
