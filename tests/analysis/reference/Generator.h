#pragma once
// Random documents for the differential test: mostly well-formed trees, then damaged, so that
// every pass of the checks is reached. The shapes favour the places where a fast scan could
// drift from the plain one: comments and CDATA sections across lines, long names and values,
// ">", "/>", "=" and the other quote inside values, tags cut by a line break, mixed-case keys,
// entity references of every form, DOCTYPE windows.
#include <random>
#include <vector>

#include <QString>
#include <QStringList>

namespace reference {

struct DtdDocument {
  QStringList lines;
  QString externalName;    // the SYSTEM name the loader answers to (empty: none)
  QStringList external;   // the external file's lines
};

class Generator {
 public:
  explicit Generator(quint32 seed) : rng_(seed) {}

  QStringList document() {
    names_.clear();
    std::vector<QString> tokens;
    if (chance(0.35)) tokens.push_back(xmlDeclaration());
    if (chance(0.1)) tokens.push_back(QStringLiteral("\n"));
    tree(tokens, 0);
    if (chance(0.08)) tree(tokens, 2);  // a second root, sometimes with the same name
    for (int n = chance(0.4) ? 0 : between(1, 2); n > 0; --n) damage(tokens);
    return toLines(tokens);
  }

  // Many subtrees under one root: longer scans, many keys met again and again.
  QStringList longDocument(int subtrees) {
    names_.clear();
    std::vector<QString> tokens;
    tokens.push_back(QStringLiteral("<racine>\n"));
    clean_ = true;  // faults come from the damage below only, or every document would fail early
    for (int i = 0; i < subtrees; ++i) tree(tokens, 1);
    tokens.push_back(QStringLiteral("\n</racine>"));
    for (int n = chance(0.4) ? 0 : between(1, 2); n > 0; --n) damage(tokens);
    const QStringList lines = toLines(tokens);
    clean_ = false;
    return lines;
  }

  // Records of a few elements on each line, as data files hold them: many tags a line, names
  // that come back (nested in themselves too), and damage that leaves most lines balanced:
  // end tags swapped or moved to another line, case changed, a comment opened across lines.
  QStringList recordsDocument(int recordCount) {
    names_.clear();
    clean_ = true;
    std::vector<std::vector<QString>> recordTokens;
    for (int i = 0; i < recordCount; ++i) {
      std::vector<QString> tokens;
      tree(tokens, chance(0.7) ? 2 : 1);
      std::erase(tokens, QStringLiteral("\n"));
      // Most empty-element tags become an element with its end tag: more keys a line.
      for (QString& j : tokens) {
        if (!j.endsWith(QStringLiteral("/>")) || chance(0.1)) continue;
        qsizetype stop = 1;
        while (stop < j.size() && j[stop] != u' ' && j[stop] != u'/' && j[stop] != u'>') ++stop;
        j = j.left(j.size() - (j.endsWith(QStringLiteral(" />")) ? 3 : 2)) + QStringLiteral("></") + j.mid(1, stop - 1) +
            QStringLiteral(">");
      }
      if (chance(0.15) && tokens.size() > 2) {  // the record's first element again inside it
        const QString n = names_[size_t(between(0, int(names_.size()) - 1))];
        const size_t i1 = size_t(between(1, int(tokens.size()) - 1));
        tokens.insert(tokens.begin() + long(i1), QStringLiteral("<") + n + QStringLiteral(">"));
        const size_t i2 = size_t(between(int(i1) + 1, int(tokens.size())));
        tokens.insert(tokens.begin() + long(i2), QStringLiteral("</") + n + QStringLiteral(">"));
      }
      recordTokens.push_back(std::move(tokens));
    }
    clean_ = false;
    for (int n = between(0, 3); n > 0; --n) {
      std::vector<QString>& e = recordTokens[size_t(between(0, recordCount - 1))];
      std::vector<size_t> endTags;
      for (size_t k = 0; k < e.size(); ++k)
        if (e[k].startsWith(QStringLiteral("</"))) endTags.push_back(k);
      if (endTags.empty()) continue;
      const size_t a = endTags[size_t(between(0, int(endTags.size()) - 1))];
      switch (between(0, 5)) {
        case 0: e[a] = e[a].toUpper(); break;
        case 1: {  // moved into another record
          std::vector<QString>& other = recordTokens[size_t(between(0, recordCount - 1))];
          other.insert(other.begin() + between(0, int(other.size())), e[a]);
          e.erase(e.begin() + long(a));
          break;
        }
        case 2: e.insert(e.begin() + between(0, int(e.size())), pick({QStringLiteral("<!--"), QStringLiteral("-->")})); break;
        case 3: {  // a comment to the next line, whose start tags before "-->" only its own scans see
          const int i = between(0, recordCount - 1);
          recordTokens[size_t(i)].push_back(QStringLiteral("<!--"));
          recordTokens[size_t(i)].push_back(QStringLiteral("\n"));
          QString hidden = QStringLiteral("<") + names_[size_t(between(0, int(names_.size()) - 1))] + QStringLiteral("> -->");
          if (chance(0.3)) hidden.prepend(QStringLiteral("</") + names_[size_t(between(0, int(names_.size()) - 1))] + u'>');
          if (i + 1 < recordCount) {
            std::vector<QString>& next = recordTokens[size_t(i + 1)];
            next.insert(next.begin(), hidden);
          } else {
            recordTokens[size_t(i)].push_back(hidden);
          }
          break;
        }
        default: std::swap(e[a], e[endTags[size_t(between(0, int(endTags.size()) - 1))]]);
      }
    }
    QStringList lines{QStringLiteral("<racine>")};
    QString line;
    for (const std::vector<QString>& e : recordTokens) {
      for (const QString& j : e) {
        if (j != u'\n') line += j;
        if (j == u'\n' || chance(0.03)) {  // a record cut in two
          lines << line;
          line.clear();
        }
      }
      if (!chance(0.3)) {  // now and then several records a line
        lines << line;
        line.clear();
      }
    }
    lines << line + QStringLiteral("</racine>");
    return lines;
  }

  DtdDocument dtdDocument() {
    DtdDocument d;
    names_.clear();
    std::vector<QString> body;
    tree(body, 0);
    if (chance(0.25)) damage(body);

    std::vector<QString> tokens;
    if (chance(0.5)) tokens.push_back(xmlDeclaration());
    tokens.push_back(QStringLiteral("\n"));

    const bool withSystem = chance(0.6);
    const bool withInternal = !withSystem || chance(0.5);
    QString doctype = QStringLiteral("<!DOCTYPE ") + (names_.empty() ? QStringLiteral("r") : names_[0]);
    if (withSystem) {
      d.externalName = pick({QStringLiteral("ext.dtd"), QStringLiteral("r.dtd"), QStringLiteral("dtd/é.dtd")});
      const QString writtenName = chance(0.1) ? QStringLiteral("absent.dtd") : d.externalName;
      const QString q = chance(0.3) ? QStringLiteral("'") : QStringLiteral("\"");
      if (chance(0.1)) doctype += QStringLiteral(" PUBLIC \"-//X//DTD x//FR\"");
      doctype += QStringLiteral(" SYSTEM ") + q + writtenName + q;
      d.external = declarations(true);
    }
    tokens.push_back(doctype);
    if (withInternal) {
      tokens.push_back(QStringLiteral(" ["));
      tokens.push_back(QStringLiteral("\n"));
      for (const QString& l : declarations(false)) {
        tokens.push_back(l);
        tokens.push_back(chance(0.8) ? QStringLiteral("\n") : QStringLiteral(" "));
      }
      tokens.push_back(pick({QStringLiteral("]>"), QStringLiteral("]>"), QStringLiteral("] >"),
                              QStringLiteral("]\n>")}));
    } else {
      tokens.push_back(QStringLiteral(">"));
    }
    tokens.push_back(QStringLiteral("\n"));
    tokens.insert(tokens.end(), body.begin(), body.end());
    d.lines = toLines(tokens);
    return d;
  }

  // A short random text over the characters that the tag rules look at.
  QString noise(int maxLength) {
    // Controls and a no-break space too: only codes up to 32 are dropped before a value.
    static const QString alphabet = QStringLiteral("<<<>>//  ==\"\"''?!--aAbBé\t&;[]x") + QChar(1) + QChar(0x7F) +
                                    QChar(0x81) + QChar(0xA0) + QChar(0x2026);
    QString s;
    for (int n = between(0, maxLength); n > 0; --n) s += alphabet[between(0, int(alphabet.size()) - 1)];
    return s;
  }

  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int between(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng_); }
  template <typename T>
  T pick(std::initializer_list<T> l) { return *(l.begin() + between(0, int(l.size()) - 1)); }

 private:
  QString name() {
    QString n;
    if (names_.size() > 1 && chance(0.35)) {
      // The root's name comes back only now and then: a reused root is a fault of its own.
      n = names_[size_t(between(chance(0.1) ? 0 : 1, int(names_.size()) - 1))];
    } else {
      switch (between(0, 9)) {
        case 0: n = QString(between(40, clean_ ? 60 : 70), u'n'); break;  // the window cuts the tag
        case 1: n = QStringLiteral("item") + QString::number(between(0, 3)); break;
        case 2: n = pick({QStringLiteral("é"), QStringLiteral("É"), QStringLiteral("body")}); break;
        case 3: n = pick({QStringLiteral("bo"), QStringLiteral("body"), QStringLiteral("BODY")}); break;
        default:
          n = pick({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("A"),
                     QStringLiteral("r"), QStringLiteral("R"), QStringLiteral("x-y"), QStringLiteral("p")});
      }
      names_.push_back(n);
    }
    return n;
  }

  static QString withCase(const QString& n, int mode) {
    return mode == 1 ? n.toUpper() : mode == 2 ? n.toLower() : n;
  }

  QString attribute() {
    const QString attributeName = pick({QStringLiteral("id"), QStringLiteral("lang"), QStringLiteral("class"),
                                   QStringLiteral("version"), QStringLiteral("idx")});
    if (clean_ || chance(0.93)) {
      const QString q = chance(0.3) ? QStringLiteral("'") : QStringLiteral("\"");
      QString value = pick({QStringLiteral("1"), QStringLiteral("fr"), QStringLiteral("été"), QString(),
                              QString(between(20, 80), u'v'), QStringLiteral("a>b"), QStringLiteral("x.php?id=3"),
                              QStringLiteral("a/>b"), q == u'"' ? QStringLiteral("l'a") : QStringLiteral("\"hi\"")});
      if (chance(0.02)) value = QString(between(1000, 1100), u'v');
      // "<!--" in a value opens a comment; a "<" ends the tag.
      if (!clean_ && chance(0.05)) value = pick({QStringLiteral("-->"), QStringLiteral("<!--"), QStringLiteral("a<b"),
                                                    QStringLiteral("]]>")});
      const QString equal = pick({QStringLiteral("="), QStringLiteral("="), QStringLiteral(" = "), QStringLiteral("=\t")});
      return (clean_ || chance(0.9) ? QStringLiteral(" ") : QStringLiteral("\t")) + attributeName + equal + q + value + q;
    }
    const QString value = pick({QStringLiteral("1"), QStringLiteral("l'a"), QStringLiteral("x.php?id=3"),
                                  QStringLiteral("a/>b"), QString()});
    switch (between(0, 2)) {
      case 0: return QStringLiteral(" ") + attributeName + QStringLiteral("=") + value;  // unquoted
      case 1: return QStringLiteral(" ") + attributeName + QStringLiteral("=\"") + value;  // unterminated
      default: return QStringLiteral(" ") + attributeName + QStringLiteral("=\"") + value + QStringLiteral("\"");
    }
  }

  QString startTag(const QString& n, bool emptyElement) {
    QString t = QStringLiteral("<") + n;
    for (int k = chance(0.3) ? between(1, !clean_ && chance(0.1) ? 12 : 3) : 0; k > 0; --k) t += attribute();
    if (chance(0.1)) t += QStringLiteral(" ");
    if (emptyElement) return t + (chance(0.5) ? QStringLiteral("/>") : QStringLiteral(" />"));
    return t + QStringLiteral(">");
  }

  QString endTag(const QString& n) {
    const int mode = !clean_ && chance(0.15) ? between(1, 2) : 0;
    switch (clean_ ? 15 : between(0, 15)) {
      case 0: return QStringLiteral("</") + withCase(n, mode) + QStringLiteral(" >");
      case 1: return QStringLiteral("</ ") + n + QStringLiteral(">");
      case 2: return QStringLiteral("</") + withCase(n, mode);  // no ">" on the line
      default: return QStringLiteral("</") + withCase(n, mode) + QStringLiteral(">");
    }
  }

  QString xmlDeclaration() {
    QString d = QStringLiteral("<?xml version=\"1.0\"");
    if (chance(0.15)) d += QStringLiteral(" encoding=\"") + QString(between(900, 1100), u'e') + u'"';
    if (chance(0.7)) {
      const QString v = pick({QStringLiteral("\"yes\""), QStringLiteral("'no'"), QStringLiteral("\"maybe\""),
                               QStringLiteral("\"\""), QStringLiteral("\"es\""), QStringLiteral("yes"),
                               QStringLiteral("\"s n\""), QStringLiteral("\"yes")});
      d += (chance(0.1) ? QStringLiteral(" standalone = ") : QStringLiteral(" standalone=")) + v;
    }
    return d + QStringLiteral("?>");
  }

  QString text() {
    if (clean_)
      return pick({QStringLiteral("&amp;"), QStringLiteral("café É ç"), QStringLiteral("texte"), QStringLiteral("-->"),
                    QStringLiteral("&Lauri.Watts;"), QStringLiteral("&#x1F600;")});
    switch (between(0, 19)) {
      case 0: return QStringLiteral("AT&T company");
      case 1: return QStringLiteral("&amp;");
      case 2: return QStringLiteral("&#233;");
      case 3: return QStringLiteral("x &am\np;");  // the ";" is on the next line
      case 4: return QStringLiteral("a < b");
      case 5: return QStringLiteral("<>");
      case 6: return QStringLiteral("</>");
      case 7: return QStringLiteral("-->");
      case 8: return QStringLiteral("<!--");
      case 9: return QStringLiteral("&lt;&gt");
      case 10: return QString(between(50, 200), u'z');
      case 11: return noise(12);
      case 12: return QStringLiteral("café É ç");
      case 13: return pick({QStringLiteral("&Lauri.Watts;"), QStringLiteral("&#x1f;"), QStringLiteral("&kde-5.x;")});
      case 14: return pick({QStringLiteral("&;"), QStringLiteral("& b"), QStringLiteral("&#x;"), QStringLiteral("&#12a;"),
                             QStringLiteral("&#;"), QStringLiteral("&a b;")});
      case 15: return QStringLiteral("]]>");
      default: return QStringLiteral("texte");
    }
  }

  QString misc() {
    switch (clean_ ? pick({0, 2, 5, 6, 7, 8, 11}) : between(0, 11)) {
      case 0: return QStringLiteral("<!-- ") + (clean_ ? QStringLiteral("note") : noise(6)) + QStringLiteral(" -->");
      case 1: return QStringLiteral("<!-- <b>\n</a> -->");
      case 2: return QStringLiteral("<!--\n") + name().prepend(u'<') + QStringLiteral(">\n-->");
      case 3: return QStringLiteral("<![CDATA[</") + name() + QStringLiteral(">]]>");
      case 4: return QStringLiteral("<![CDATA[<") + name() + QStringLiteral(">]]>");
      case 5: return QStringLiteral("<?pi data?>");
      case 6: return QStringLiteral("<!-- x -- y --><!---->");
      case 7: return QStringLiteral("<![CDATA[['<Super>Home']]]>");
      case 8: return QStringLiteral("<![CDATA[\nif (a < b && c) <") + name() + QStringLiteral(">\n]]>");
      case 9: return QStringLiteral("<![CDATA[<!-- ") + noise(6) + QStringLiteral("]]>");
      default: return startTag(name(), true);
    }
  }

  void tree(std::vector<QString>& tokens, int depth) {
    const QString n = name();
    tokens.push_back(startTag(n, false));
    // An empty-element tag later in the same window would take the start tag's key away.
    if (clean_) tokens.push_back(QStringLiteral("\n"));
    const int children = depth > 3 ? 0 : between(0, depth == 0 ? 4 : 2);
    for (int i = 0; i < children; ++i) {
      if (chance(0.3)) tokens.push_back(QStringLiteral("\n"));
      if (chance(0.2)) tokens.push_back(QString(between(1, 4), chance(0.8) ? u' ' : u'\t'));
      switch (between(0, 5)) {
        case 0: tokens.push_back(text()); break;
        case 1: tokens.push_back(misc()); break;
        default: tree(tokens, depth + 1);
      }
    }
    if (chance(0.3)) tokens.push_back(QStringLiteral("\n"));
    tokens.push_back(endTag(n));
  }

  void damage(std::vector<QString>& tokens) {
    if (tokens.empty()) return;
    const size_t i = size_t(between(0, int(tokens.size()) - 1));
    const size_t j = size_t(between(0, int(tokens.size()) - 1));
    // Clean documents are mostly damaged by swapped end tags, the overlap test's business.
    switch (clean_ && chance(0.7) ? 9 : between(0, 9)) {
      case 0: tokens.erase(tokens.begin() + long(i)); break;
      case 1: tokens.insert(tokens.begin() + long(i), tokens[j]); break;
      case 2: std::swap(tokens[i], tokens[j]); break;
      case 3: tokens.insert(tokens.begin() + long(i), QStringLiteral("\n")); break;
      case 4: tokens.insert(tokens.begin() + long(i), noise(8)); break;
      case 5: tokens.insert(tokens.begin() + long(i), misc()); break;
      case 6: tokens[i] = tokens[i].toUpper(); break;
      default: {
        // Two end tags swapped, with a line break near each: the overlap test's favourite. In a
        // clean document, an end tag and the next tag when that is an end tag too, so that the
        // swap makes an overlap and nothing else.
        std::vector<size_t> endTags;
        for (size_t k = 0; k < tokens.size(); ++k)
          if (tokens[k].startsWith(QStringLiteral("</"))) endTags.push_back(k);
        if (endTags.size() < 2) return;
        const size_t a = endTags[size_t(between(0, int(endTags.size()) - 1))];
        size_t b = endTags[size_t(between(0, int(endTags.size()) - 1))];
        if (clean_) {
          b = a + 1;
          while (b < tokens.size() && !tokens[b].startsWith(u'<')) ++b;
          if (b >= tokens.size() || !tokens[b].startsWith(QStringLiteral("</"))) return;
        }
        std::swap(tokens[a], tokens[b]);
        tokens[a] += QStringLiteral("\n");
        if (chance(0.5)) tokens[b].prepend(u'\n');
      }
    }
  }

  // The external file (raw lines, some indented, IGNORE sections) or the internal subset.
  QStringList declarations(bool external) {
    QStringList l;
    const auto element = [&](const QString& n) {
      return QStringLiteral("<!ELEMENT ") + n + pick({QStringLiteral(" (#PCDATA)>"), QStringLiteral(" ANY>"),
                                                       QStringLiteral(" (a|b)*>"), QStringLiteral(" EMPTY")});
    };
    const auto attlist = [&](const QString& n) {
      const QString a = pick({QStringLiteral("id"), QStringLiteral("lang"), QStringLiteral("idx")});
      return QStringLiteral("<!ATTLIST ") + n + pick({QStringLiteral(" "), QStringLiteral("  "), QStringLiteral("\t")}) + a +
             pick({QStringLiteral(" CDATA #REQUIRED>"), QStringLiteral(" CDATA #IMPLIED>"),
                    QStringLiteral(" ID #REQUIRED"), QStringLiteral(" CDATA #REQUIRED>")});
    };
    std::vector<QString> names = names_;
    names.push_back(QStringLiteral("a"));
    for (const QString& n : names) {
      if (chance(0.75)) l << (external && chance(0.2) ? QStringLiteral("  ") : QString()) + element(n);
      if (chance(0.3)) l << attlist(n);
      if (chance(0.1)) l << QStringLiteral("<!ENTITY e \"") + n + QStringLiteral("\">");
      if (chance(0.05)) l << QStringLiteral("<!-- ") + QString(between(1000, 5000), u'-') + QStringLiteral(" -->");
      if (external && chance(0.15)) {
        l << QStringLiteral("<![IGNORE[") << element(name()) << attlist(n);
        if (chance(0.85)) l << QStringLiteral("]]>");
      }
      if (external && chance(0.1)) l << QStringLiteral("<![INCLUDE[") << element(name()) << QStringLiteral("]]>");
      if (chance(0.05)) l << noise(20);
      // Raw lines shorter than a declaration's name position.
      if (external && chance(0.03)) l << pick({QStringLiteral("<!ELEMENT"), QStringLiteral("<!ATTLIST #REQUIRED"), QStringLiteral("<!ELEMENT ")});
    }
    return l;
  }

  QStringList toLines(const std::vector<QString>& tokens) {
    QString all;
    for (const QString& j : tokens) {
      all += j;
      // One token a line in clean documents: the overlap test of a tag starts at its line's
      // first character, and whatever precedes the tag there would count.
      if (clean_ || chance(0.12)) all += u'\n';
    }
    // Now and then a break at any place, tags included: windows never cross lines.
    for (int n = !clean_ && chance(0.2) ? between(1, 3) : 0; n > 0 && !all.isEmpty(); --n)
      all.insert(between(0, int(all.size())), u'\n');
    return all.split(u'\n');
  }

  std::mt19937 rng_;
  std::vector<QString> names_;
  bool clean_ = false;
};

}  // namespace reference
