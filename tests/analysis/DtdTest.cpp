// Reading the DTD (windows, the IGNORE cut, the SYSTEM file looked up on disk) and validating
// start tags against it; what the two check commands report.
#include <gtest/gtest.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include "Dtd.h"
#include "Octets.h"
#include "TextFile.h"

namespace {

using analysis::DtdLoader;
using analysis::Fault;

void ecrit(const QString& chemin, const QByteArray& octets) {
  QFile f(chemin);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << chemin.toStdString();
  f.write(octets);
}

// Changes the current directory for one test.
class RepertoireCourant {
 public:
  explicit RepertoireCourant(const QString& chemin) : ancien_(QDir::currentPath()) { QDir::setCurrent(chemin); }
  ~RepertoireCourant() { QDir::setCurrent(ancien_); }

 private:
  QString ancien_;
};

class Fichiers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    doc_ = tmp_.filePath(u"doc"_qs);
    courant_ = tmp_.filePath(u"courant"_qs);
    ASSERT_TRUE(QDir().mkpath(doc_));
    ASSERT_TRUE(QDir().mkpath(courant_));
  }
  QStringList charge(const QString& dossier, const QString& nom, bool* trouve = nullptr) {
    std::vector<std::string> lignes{"inchangé"};
    const bool ok = analysis::fileDtdLoader(dossier)(octets(nom), lignes);
    if (trouve) *trouve = ok;
    return ok ? textes(lignes) : QStringList{};
  }
  QTemporaryDir tmp_;
  QString doc_, courant_;
};

TEST_F(Fichiers, RelativeNameIsLookedForInTheDocumentFolderThenTheCurrentDirectory) {
  ecrit(doc_ + u"/x.dtd"_qs, "<!ELEMENT doc ANY>\r\n");
  ecrit(courant_ + u"/x.dtd"_qs, "<!ELEMENT courant ANY>\r\n");
  ecrit(courant_ + u"/seul.dtd"_qs, "<!ELEMENT seul ANY>");
  ASSERT_TRUE(QDir().mkpath(doc_ + u"/dossier.dtd"_qs));
  ecrit(courant_ + u"/dossier.dtd"_qs, "<!ELEMENT courant ANY>");
  ASSERT_TRUE(QDir().mkpath(doc_ + u"/partout"_qs));
  ASSERT_TRUE(QDir().mkpath(courant_ + u"/partout"_qs));
  RepertoireCourant rc(courant_);

  EXPECT_EQ(charge(doc_, u"x.dtd"_qs), QStringList{u"<!ELEMENT doc ANY>"_qs});
  EXPECT_EQ(charge(QString(), u"x.dtd"_qs), QStringList{u"<!ELEMENT courant ANY>"_qs});
  EXPECT_EQ(charge(doc_, u"seul.dtd"_qs), QStringList{u"<!ELEMENT seul ANY>"_qs});
  EXPECT_EQ(charge(doc_, u"dossier.dtd"_qs), QStringList{u"<!ELEMENT courant ANY>"_qs});
  EXPECT_EQ(charge(doc_, doc_ + u"/x.dtd"_qs), QStringList{u"<!ELEMENT doc ANY>"_qs});
  for (const QString& absent : {u"absent.dtd"_qs, u"partout"_qs, QString(), courant_ + u"/non.dtd"_qs}) {
    bool trouve = true;
    charge(doc_, absent, &trouve);
    EXPECT_FALSE(trouve) << absent.toStdString();
  }
}

TEST_F(Fichiers, UnreadableFileCountsAsAbsent) {
  ecrit(doc_ + u"/x.dtd"_qs, "<!ELEMENT doc ANY>");
  ecrit(courant_ + u"/x.dtd"_qs, "<!ELEMENT courant ANY>");
  QFile(doc_ + u"/x.dtd"_qs).setPermissions(QFileDevice::Permissions());
  textfile::refuseReadingForTests(doc_ + u"/x.dtd"_qs, EACCES);  // root reads it anyway
  RepertoireCourant rc(courant_);
  EXPECT_EQ(charge(doc_, u"x.dtd"_qs), QStringList{u"<!ELEMENT courant ANY>"_qs});
  textfile::refuseReadingForTests(doc_ + u"/x.dtd"_qs, 0);
}

TEST_F(Fichiers, LinesAreSplitAsTheEditorReadsADocument) {
  const std::vector<std::pair<QByteArray, QStringList>> cas = {
      {"a\r\nb\r\n", {u"a"_qs, u"b"_qs}},
      {"a\nb", {u"a"_qs, u"b"_qs}},
      {"a\rb\n\r", {u"a"_qs, u"b"_qs}},
      {"a\r\n\r\n", {u"a"_qs, u""_qs}},
      {"", {}},
      {"\xe9\x80", {u"é€"_qs}},
  };
  for (const auto& [octets, lignes] : cas) {
    ecrit(doc_ + u"/l.dtd"_qs, octets);
    bool trouve = false;
    EXPECT_EQ(charge(doc_, u"l.dtd"_qs, &trouve), lignes) << octets.toStdString();
    EXPECT_TRUE(trouve);
  }
}

// The file's raw lines are entries too, so a declaration that begins a line declares even inside
// a section; the sections here keep theirs after the "<![IGNORE[".
TEST_F(Fichiers, OnlyTheFirstIgnoreSectionOfTheFileIsCut) {
  ecrit(doc_ + u"/r.dtd"_qs,
        "<!ELEMENT r ANY>\r\n<![IGNORE[ <!ELEMENT a ANY>\r\n]]>\r\n"
        "<![IGNORE[ <!ELEMENT b ANY>\r\n]]>\r\n");
  const DtdLoader charge = analysis::fileDtdLoader(doc_);
  const QString doctype = u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs;
  EXPECT_EQ(produitValiddtd({doctype, u"<r><b/></r>"_qs}, charge).code, 0);
  const Fault f = produitValiddtd({doctype, u"<r><a/></r>"_qs}, charge);
  EXPECT_EQ(f.code, analysis::kUndeclaredTag);
  EXPECT_EQ(f.text, u"<a>"_qs);
}

TEST(LitDtd, WindowsOfTheDoctypeAndOfSystem) {
  const auto liste = [](const QStringList& lignes) {
    return produitLitDtd(lignes, fichierUnique(u"e.dtd"_qs, {u"<!ELEMENT e ANY>"_qs}));
  };
  // The internal subset ends beyond the 4096 characters read from "<!DOCTYPE".
  EXPECT_TRUE(liste({u"<!DOCTYPE r ["_qs, u"<!ELEMENT r ANY>"_qs, QString(4100, u' '), u"]>"_qs}).isEmpty());
  EXPECT_EQ(liste({u"<!DOCTYPE r ["_qs, u"<!ELEMENT r ANY>"_qs, u"]>"_qs}), QStringList{u"<!ELEMENT r ANY>"_qs});
  // With SYSTEM, the subset counts only when its "]>" lies within 256 characters of SYSTEM.
  const QStringList proche = {u"<!DOCTYPE r SYSTEM 'e.dtd' ["_qs, u"<!ELEMENT r ANY>]>"_qs};
  EXPECT_EQ(liste(proche),
            (QStringList{u"<!ELEMENT e ANY>"_qs, u"<!ELEMENT e ANY>"_qs, u"<!ELEMENT r ANY>"_qs}));
  const QStringList loin = {u"<!DOCTYPE r SYSTEM 'e.dtd' ["_qs, QString(300, u' '), u"<!ELEMENT r ANY>]>"_qs};
  EXPECT_EQ(liste(loin), (QStringList{u"<!ELEMENT e ANY>"_qs, u"<!ELEMENT e ANY>"_qs}));
  // An absent file leaves only what the 256 characters hold.
  EXPECT_EQ(produitLitDtd(proche, fichierUnique(u"autre.dtd"_qs, {})), QStringList{u"<!ELEMENT r ANY>"_qs});
  EXPECT_EQ(produitLitDtd(proche, {}), QStringList{u"<!ELEMENT r ANY>"_qs});
}

TEST(LitDtd, ElementsComeBeforeAttributeListsAndEachEndsAtItsFirstChevron) {
  const QStringList lignes = {u"<!DOCTYPE r [<!ATTLIST r a CDATA #REQUIRED><!ELEMENT r (x)>"_qs,
                              u"<!ELEMENT x EMPTY><!ATTLIST x b CDATA #IMPLIED><!ELEMENT y"_qs, u"]>"_qs};
  EXPECT_EQ(produitLitDtd(lignes, {}),
            (QStringList{u"<!ELEMENT r (x)>"_qs, u"<!ELEMENT x EMPTY>"_qs, u"<!ELEMENT y\r\n]>"_qs,
                         u"<!ATTLIST r a CDATA #REQUIRED>"_qs, u"<!ATTLIST x b CDATA #IMPLIED>"_qs}));
  // A declaration whose ">" lies beyond 4096 characters is kept as an empty entry.
  const QString sansFin = u"<!ELEMENT r"_qs + QString(5000, u' ') + u">"_qs;
  EXPECT_EQ(produitLitDtd({u"<!DOCTYPE r SYSTEM 'e.dtd'>"_qs}, fichierUnique(u"e.dtd"_qs, {sansFin})),
            (QStringList{sansFin, QString()}));
}

// Each search for the next declaration reads 4096 characters after the previous one, so a long
// DTD is read whole, and only a gap of more than 4096 characters ends the search.
TEST(LitDtd, LongDtdIsReadWholeAndAWideGapEndsTheSearch) {
  QStringList externe;
  for (int i = 0; i < 400; ++i) externe << QStringLiteral("<!ELEMENT e%1 (#PCDATA)>   ").arg(i);
  externe << QString(5000, u' ') + u"<!ELEMENT loin ANY>"_qs;
  const QStringList doc = {u"<!DOCTYPE e0 SYSTEM \"e.dtd\">"_qs, u"<e0><e399/></e0>"_qs, u"<loin/>"_qs};
  const DtdLoader charge = fichierUnique(u"e.dtd"_qs, externe);
  EXPECT_EQ(produitLitDtd(doc, charge).size(), externe.size() + 400);
  const Fault f = produitValiddtd(doc, charge);
  EXPECT_EQ(f.code, analysis::kUndeclaredTag);
  EXPECT_EQ(f.text, u"<loin>"_qs);
}

TEST(LitDtd, UnterminatedIgnoreSectionKeepsOnlyWhatFollowsIt) {
  const DtdLoader charge =
      fichierUnique(u"e.dtd"_qs, {u"<!ELEMENT avant ANY>"_qs, u"<![IGNORE[<!ELEMENT dedans ANY>"_qs});
  const QStringList liste = produitLitDtd({u"<!DOCTYPE r SYSTEM \"e.dtd\">"_qs}, charge);
  EXPECT_EQ(liste.mid(2), QStringList{u"<!ELEMENT dedans ANY>"_qs});
}

struct CasDtd {
  const char* nom;
  QStringList corps;
  int code;
  QString texte;
};

TEST(Validdtd, StartTagsAgainstTheDeclarations) {
  const QStringList dtd = {u"<!DOCTYPE r ["_qs,
                           u"<!ELEMENT r ANY>"_qs,
                           u"<!ELEMENT body (#PCDATA)>"_qs,
                           u"<!ELEMENT xyz ANY>"_qs,
                           u"<!ATTLIST xyz id CDATA #REQUIRED>"_qs,
                           u"<!ELEMENT a ANY>"_qs,
                           u"<!ATTLIST a id CDATA #REQUIRED>"_qs,
                           u"<!ATTLIST a cle CDATA #IMPLIED>"_qs,
                           u"<!ELEMENT s ANY>"_qs,
                           u"<!ATTLIST s #REQUIRED>"_qs,
                           u"]>"_qs};
  const std::vector<CasDtd> cas = {
      {"valid: the text is the last key examined", {u"<r><a id='1'/><body>x</body></r>"_qs}, 0, u"<body>"_qs},
      {"a prefix of a declared name is declared", {u"<r><bo></bo></r>"_qs}, 0, u"<bo>"_qs},
      {"undeclared", {u"<r>"_qs, u"<zz>"_qs, u"</r>"_qs}, 11, u"<zz>"_qs},
      {"the name is case-sensitive", {u"<R/>"_qs}, 11, u"<R>"_qs},
      {"missing required attribute", {u"<r><a cle='x'></a></r>"_qs}, 12, u"<a>"_qs},
      {"the attribute word is searched in this tag only", {u"<r><a><a id='1'></a></a></r>"_qs}, 12, u"<a>"_qs},
      {"tags of one line each checked", {u"<r><a id='1'><a id='2'><a>"_qs}, 12, u"<a>"_qs},
      {"an empty word never occurs", {u"<r><xy id='1'/></r>"_qs}, 12, u"<xy>"_qs},
      // "xyz id" begins with "x": its word is what follows the "y".
      {"a longer name's requirement applies to its prefix", {u"<r><x id='1'/></r>"_qs}, 12, u"<x>"_qs},
      {"with its shifted word", {u"<r><x z/></r>"_qs}, 0, u"<x>"_qs},
      {"the dropped slash lets a word end with \">\"", {u"<r><s #REQUIRED/></r>"_qs}, 0, u"<s>"_qs},
      {"the blank before \"/>\" stays", {u"<r><s #REQUIRED /></r>"_qs}, 12, u"<s>"_qs},
      {"\"//>\" has no key", {u"<r><zz//></r>"_qs}, 0, u"<r>"_qs},
      {"a \"<\" without \">\" is passed over", {u"<r> a < b"_qs, u"</r>"_qs}, 0, u"<r>"_qs},
      {"a \"<\" inside a tag starts a tag of its own", {u"<r id <a id=1>"_qs}, 0, u"<a>"_qs},
      {"comments and CDATA skipped", {u"<r><!-- <zz> --><![CDATA[<yy>]]></r>"_qs}, 0, u"<r>"_qs},
      {"a value holding \">\"", {u"<r><a t='>' id='1'></a><zz t=\"a>b\">"_qs}, 11, u"<zz>"_qs},
      {"a name longer than any declaration", {u"<"_qs + QString(300, u'a') + u">"_qs}, 11,
       u"<"_qs + QString(300, u'a') + u">"_qs},
  };
  for (const CasDtd& c : cas) {
    const Fault f = produitValiddtd(dtd + c.corps, {});
    EXPECT_EQ(f.code, c.code) << c.nom;
    EXPECT_EQ(f.text, c.texte) << c.nom;
  }
  EXPECT_EQ(produitValiddtd({u"<r><x/></r>"_qs}, {}).text, QString());  // no declarations
}

TEST(Validdtd, ManyTagsAndDeclarationsStayExact) {
  // Names of one length, so that none begins with another.
  const auto nom = [](int i) { return QStringLiteral("e%1").arg(i, 4, 10, QChar(u'0')); };
  QStringList externe;
  for (int i = 0; i < 2000; ++i)
    externe << QStringLiteral("<!ELEMENT %1 ANY>").arg(nom(i)) << QStringLiteral("<!ATTLIST %1 k%1 CDATA #REQUIRED>").arg(nom(i));
  const DtdLoader charge = fichierUnique(u"e.dtd"_qs, externe);
  const QStringList doc = {u"<!DOCTYPE e0000 SYSTEM 'e.dtd'>"_qs};
  QString ligne;
  for (int i = 0; i < 20000; ++i) ligne += QStringLiteral("<%1 k%1='v'/>").arg(nom(i % 2000));
  EXPECT_EQ(produitValiddtd(doc + QStringList{ligne}, charge).code, 0);
  ligne += u"<e0007 ke0008='v'/>"_qs;
  const Fault f = produitValiddtd(doc + QStringList{ligne}, charge);
  EXPECT_EQ(f.code, analysis::kMissingAttribute);
  EXPECT_EQ(f.text, u"<e0007>"_qs);

  // Thousands of "<" that share one ">": each tag text runs to the end of the line.
  const QStringList requis = {u"<!DOCTYPE a [<!ELEMENT a ANY><!ATTLIST a id CDATA #REQUIRED>]>"_qs};
  QString imbrique;
  for (int i = 0; i < 20000; ++i) imbrique += u"<a "_qs;
  EXPECT_EQ(produitValiddtd(requis + QStringList{imbrique + u"id>"_qs}, {}).code, 0);
  EXPECT_EQ(produitValiddtd(requis + QStringList{imbrique + u">"_qs}, {}).code, analysis::kMissingAttribute);
}

TEST(Rapport, EachCommandShowsOneMessage) {
  const QStringList dtd = {u"<!DOCTYPE r [<!ELEMENT r ANY>]>"_qs};
  const std::vector<std::tuple<QStringList, bool, QString, int>> cas = {
      {dtd + QStringList{u"<r></r>"_qs}, false, u"Le document est bien formé"_qs, 0},
      {dtd + QStringList{u"<r></r>"_qs}, true, u"Le document est valide"_qs, 0},
      {dtd + QStringList{u"<r><x></x></r>"_qs}, false, u"Le document est bien formé"_qs, 0},
      {dtd + QStringList{u"<r><x></x></r>"_qs}, true, u"Balise <x> non déclarée"_qs, 11},
      // A well-formedness fault is reported alone, with no validation.
      {dtd + QStringList{u"<r><x>"_qs}, true, u"Balise <r> non fermée"_qs, 1},
      {{u"<r></r>"_qs}, true, u"Le document est valide"_qs, 0},
  };
  for (const auto& [lignes, avecDtd, message, code] : cas) {
    Fault f{-1, {}, {}, {}};
    EXPECT_EQ(produitRapport(lignes, avecDtd, {}, &f), message);
    EXPECT_EQ(f.code, code) << message.toStdString();
  }
  EXPECT_EQ(produitRapport({u"</a>"_qs}, false, {}), u"Balise <a> non ouverte"_qs);
}

}  // namespace
