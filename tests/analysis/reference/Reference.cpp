#include "Reference.h"

#include "Cp1252.h"

namespace reference {
namespace {

constexpr qsizetype kAll = 1 << 30;  // "the rest of the text" as a copy length

// The character at 1-based position i; past either end, NUL, as a terminated string reads.
QChar at(const QString& s, qsizetype i) {
  return (i >= 1 && i <= s.size()) ? s[i - 1] : QChar(u'\0');
}

QString apostrophesAsQuotes(QString s) {
  s.replace(u'\'', u'"');
  return s;
}

// Every text begins with the empty name (the key "<>" of "< x>" has one); "occurs", by contrast,
// is Pos and never holds for an empty text.
bool beginsWith(const QString& r, const QString& n) { return Copy(r, 1, n.size()) == n; }

// The place (0-based line, 1-based column) that lies n characters after column column of line
// line in the lines joined by CR LF.
std::pair<int, qsizetype> advance(const QStringList& lines, int line, qsizetype column, qsizetype n) {
  column += n;
  while (line + 1 < lines.size() && column > lines[line].size() + 1) {
    column -= lines[line].size() + 2;
    ++line;
  }
  return {line, column};
}

void placeAt(Result& r, int line, qsizetype column) {
  r.fromLine = r.toLine = line + 1;
  r.fromColumn = r.toColumn = column;
}

// The tag whose "<" is at 1-based p of line i (0-based), as far as its text goes.
void placeTag(Result& r, const QStringList& lines, int i, qsizetype p) {
  const auto [line, column] = advance(lines, i, p, tagText(lines, i, p).size());
  r.fromLine = i + 1;
  r.fromColumn = p;
  r.toLine = line + 1;
  r.toColumn = column;
}

}  // namespace

qsizetype Pos(const QString& sub, const QString& s) {
  if (sub.isEmpty()) return 0;
  return s.indexOf(sub) + 1;
}

QString Copy(const QString& s, qsizetype index, qsizetype count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > s.size()) return {};
  return s.mid(index - 1, count);
}

bool commentState(bool& active, const QString& line, qsizetype p) {
  if (Copy(line, p, 3) == u"-->" || Copy(line, p, 3) == u"]]>") active = false;
  if (Copy(line, p, 4) == u"<!--" || Copy(line, p, 9) == u"<![CDATA[") active = true;
  return active;
}

bool sameKey(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (cp1252::upper(a[i]) != cp1252::upper(b[i])) return false;
  return true;
}

QString tagText(const QString& s, qsizetype p, bool* closed) {
  const auto endsName = [](QChar c) {
    return c == u' ' || c == u'>' || c == u'<' || c == u'\t' || c == u'\r' || c == u'\n';
  };
  if (closed) *closed = false;
  qsizetype i = p + 1;
  if (at(s, i) == u'/') ++i;
  while (i <= s.size() && !endsName(at(s, i))) ++i;
  QChar quote;
  for (; i <= s.size(); ++i) {
    const QChar c = at(s, i);
    if (c == u'<') break;
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == u'>') {
      if (closed) *closed = true;
      return Copy(s, p, i - p + 1);
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    }
  }
  return Copy(s, p, i - p);
}

QString tagText(const QStringList& lines, qsizetype i, qsizetype p, bool* closed) {
  QString s = Copy(lines[i], p, kAll);
  for (qsizetype j = i + 1;; ++j) {
    bool f = false;
    const QString g = tagText(s, 1, &f);
    // Its own ">", a "<" that stops it, or the last line.
    if (f || g.size() < s.size() || j >= lines.size()) {
      if (closed) *closed = f;
      return g;
    }
    s += QStringLiteral("\r\n") + lines[j];
  }
}

namespace {

// The key of the tag that begins texte, whose name begins at 1-based debutNom.
QString keyOf(const QString& text, qsizetype nameStart) {
  bool closed = false;
  const QString g = tagText(text, 1, &closed);
  if (closed && g.size() - 1 >= nameStart && at(g, g.size() - 1) == u'/') return {};  // empty element
  qsizetype stop = nameStart;
  while (stop <= g.size() && !QStringLiteral(" ><\t\r\n").contains(at(g, stop))) ++stop;
  const QString name = Copy(g, nameStart, stop - nameStart);
  if (name.endsWith(u'/')) return {};
  return u'<' + name + u'>';
}

}  // namespace

QString NomBalise(const QString& text) {
  const QChar second = at(text, 2);
  if (second == u'/' || second == u'?' || second == u'!') return {};
  return keyOf(text, 2);
}

QString endKey(const QString& text) {
  if (at(text, 2) != u'/') return {};
  const QChar third = at(text, 3);
  if (third == u'/' || third == u'?' || third == u'!') return {};
  return keyOf(text, 3);
}

bool isReference(const QString& line, qsizetype p) {
  const auto letter = [](QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c.unicode() >= 0x80;
  };
  const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
  const auto hexDigit = [&](QChar c) { return digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); };
  qsizetype i = p + 1;
  if (at(line, i) == u'#') {
    ++i;
    const bool x = at(line, i) == u'x';
    if (x) ++i;
    const qsizetype start = i;
    while (i <= line.size() && (x ? hexDigit(at(line, i)) : digit(at(line, i)))) ++i;
    return i > start && at(line, i) == u';';
  }
  if (!letter(at(line, i))) return false;
  ++i;
  while (i <= line.size() && (letter(at(line, i)) || digit(at(line, i)) || at(line, i) == u'.' || at(line, i) == u'-'))
    ++i;
  return at(line, i) == u';';
}

QString ValeurGuillemets(const QString& text) {
  QString s = apostrophesAsQuotes(text);
  const qsizetype q = Pos(QStringLiteral("\""), s);
  if (q > 0) {
    s = Copy(s, q + 1, 1024);
    const qsizetype q2 = Pos(QStringLiteral("\""), s);
    if (q2 > 0) s = Copy(s, 1, q2 - 1);
  }
  return s;
}

int ControleAttributs(const QString& text) {
  QString s = tagText(text, 1);
  for (;;) {
    const qsizetype equal = Pos(QStringLiteral("="), s);
    if (equal == 0) return 0;
    s = Copy(s, equal + 1, kAll);
    qsizetype start = 1;
    while (start <= s.size() && at(s, start).unicode() <= 32) ++start;
    s = Copy(s, start, kAll);
    const QChar quote = at(s, 1);
    if (quote != u'"' && quote != u'\'') return 4;
    s = Copy(s, 2, kAll);
    const qsizetype stop = Pos(QString(quote), s);
    if (stop == 0) return 4;
    s = Copy(s, stop + 1, kAll);  // the whole value skipped
  }
}

bool Chevauche(const QStringList& lines, const QString& key, int line, qsizetype position) {
  // Entries opened before the tag on its line are outer ones: they never make the answer true,
  // and the scan may stop while they are still in the list. An end tag closes the newest equal
  // entry, so an element nested in one of its own name closes before it.
  struct Entry {
    QString key;
    bool outer;
  };
  QList<Entry> list;
  const auto findEntry = [&list](const QString& k) -> qsizetype {
    for (qsizetype i = list.size() - 1; i >= 0; --i)
      if (sameKey(list[i].key, k)) return i;
    return -1;
  };
  const auto hasInner = [&list] {
    for (const Entry& e : list)
      if (!e.outer) return true;
    return false;
  };
  bool active = false;
  bool answer = false;
  for (qsizetype i = qMax(0, line); i < lines.size(); ++i) {
    const QString& l = lines[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentState(active, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const bool before = i == line && p - 1 < position;
      const QString w = tagText(lines, i, p);
      if (at(w, 2) == u'/') {
        const QString k = endKey(w);
        if (k.isEmpty()) continue;
        const qsizetype idx = findEntry(k);
        if (idx < 0) {
          if (before) continue;  // before the tag an unmatched end tag is passed over
          answer = true;
          break;  // the rest of this line is not looked at
        }
        list.removeAt(idx);
        if (!before && k == key && !hasInner()) return answer;
      } else {
        const QString k = NomBalise(w);
        if (!k.isEmpty()) list.append({k, before});
      }
    }
  }
  return answer || hasInner();
}

Result Valid(const QStringList& lines) {
  Result r;

  const QString text = lines.join(QStringLiteral("\r\n"));
  const qsizetype xml = Pos(QStringLiteral("<?xml"), text);
  if (xml > 0) {
    const QString decl = Copy(text, xml, 1024);
    const qsizetype sa = Pos(QStringLiteral("standalone="), decl);
    if (sa > 0) {
      const QString value = ValeurGuillemets(Copy(decl, sa, 1024));
      if (Pos(value, QStringLiteral("yes no")) == 0) {
        r.code = 6;
        const auto [line, column] = advance(lines, 0, 1, xml + sa - 2);
        placeAt(r, line, column);
        return r;
      }
    }
  }

  struct Open {
    QString key;
    int line;
    qsizetype p;
  };
  QList<Open> openList;
  QString root;
  QString unopened;
  Result unopenedPlace;
  bool active = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& l = lines[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentState(active, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const QString w = tagText(lines, i, p);
      if (at(w, 2) == u'/') {
        const QString k = endKey(w);
        if (k.isEmpty()) continue;
        qsizetype idx = -1;
        for (qsizetype j = 0; j < openList.size() && idx < 0; ++j)
          if (sameKey(openList[j].key, k)) idx = j;
        if (idx < 0) {
          unopened = k;
          placeTag(unopenedPlace, lines, int(i), p);
        } else {
          openList.removeAt(idx);
        }
      } else {
        const QString k = NomBalise(w);
        if (k.isEmpty()) {
          // An empty element: its attributes are checked under its name.
          bool closed = false;
          const QString g = tagText(lines, i, p, &closed);
          if (!closed || !g.endsWith(QStringLiteral("/>"))) continue;
          const QString name = NomBalise(Copy(g, 1, g.size() - 2) + u'>');
          if (!name.isEmpty() && ControleAttributs(g) == 4) {
            r.code = 4;
            r.text = name;
            placeTag(r, lines, int(i), p);
            return r;
          }
          continue;
        }
        if (!root.isEmpty() && root == k) {
          r.code = 3;
          r.text = root;
          placeTag(r, lines, int(i), p);
          return r;
        }
        if (root.isEmpty()) root = k;
        openList.append({k, int(i), p});
        if (ControleAttributs(w) == 4) {
          r.code = 4;
          r.text = k;
          placeTag(r, lines, int(i), p);
          return r;
        }
      }
    }
  }
  if (!openList.isEmpty()) {
    r.code = 1;
    r.text = openList.first().key;
    placeTag(r, lines, openList.first().line, openList.first().p);
  }
  if (!unopened.isEmpty()) {
    r = unopenedPlace;
    r.code = 2;
    r.text = unopened;
  }
  if (r.code != 0) return r;

  // The overlap pass inherits the comment state where the open/close pass left it.
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& l = lines[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentState(active, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const QString w = tagText(lines, i, p);
      if (at(w, 2) == u'/') continue;
      const QString k = NomBalise(w);
      if (!k.isEmpty() && Chevauche(lines, k, int(i), p - 1)) {
        r.code = 7;
        r.text = k;
        placeTag(r, lines, int(i), p);
        return r;
      }
    }
  }

  active = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& l = lines[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentState(active, l, p)) continue;
      if (at(l, p) != u'&' || isReference(l, p)) continue;
      r.code = 5;
      r.text = Copy(l, p, 10);
      placeAt(r, int(i), p);
      return r;
    }
  }
  return r;
}

QString declarationText(const QStringList& lines, const Loader& load, QStringList* external) {
  const QString t = lines.join(QStringLiteral("\r\n"));
  QString d;
  QString x;

  const qsizetype doctype = Pos(QStringLiteral("<!DOCTYPE"), t);
  if (doctype > 0) d = Copy(t, doctype, 4096);

  const qsizetype system = Pos(QStringLiteral("SYSTEM"), d);
  if (system > 0) {
    d = Copy(d, system, 256);
    const QString f = ValeurGuillemets(d);
    QStringList file;
    if (!f.isEmpty() && load && load(f, file)) {
      if (external) *external = file;
      x = file.join(QString());
      const qsizetype ignore = Pos(QStringLiteral("<![IGNORE"), x);
      if (ignore > 0) {
        // d is taken over here: the internal subset test below then reads this prefix.
        d = Copy(x, 1, ignore - 1);
        x = Copy(x, ignore, kAll);
        const qsizetype stop = Pos(QStringLiteral("]]>"), x);
        if (stop > 0) x = d + Copy(x, stop + 3, kAll);
      }
    }
  }

  const qsizetype subset = Pos(QStringLiteral("]>"), d);
  if (subset > 0) x += Copy(d, 1, subset + 1);
  return x;
}

QStringList LitDtd(const QStringList& lines, const Loader& load) {
  QStringList list;
  const QString x = declarationText(lines, load, &list);
  // Each window is taken out of the whole text X, from the tenth character of the declaration
  // just found: taken out of the previous window instead, the windows would only shrink and every
  // declaration more than 4096 characters after the first one of its kind would be lost.
  for (const QString& keyword : {QStringLiteral("<!ELEMENT"), QStringLiteral("<!ATTLIST")}) {
    QString y = x;
    qsizetype start = 1;  // where y begins in x
    for (qsizetype q = Pos(keyword, y); q > 0; q = Pos(keyword, y)) {
      const qsizetype declaration = start + q - 1;
      y = Copy(x, declaration, 4096);
      const qsizetype chevron = Pos(QStringLiteral(">"), y);
      list.append(chevron > 0 ? Copy(y, 1, chevron) : QString());
      start = declaration + 9;
      y = Copy(x, start, 4096);
    }
  }
  return list;
}

Result Validdtd(const QStringList& lines, const Loader& load) {
  Result r;
  const QStringList list = LitDtd(lines, load);
  if (list.isEmpty()) return r;

  bool active = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& l = lines[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentState(active, l, p)) continue;
      if (at(l, p) != u'<') continue;
      bool closed = false;
      QString g = tagText(lines, i, p, &closed);
      if (!closed) continue;  // a tag without its own ">"
      if (at(g, 2) == u'/') continue;
      if (Copy(g, g.size() - 1, 2) == u"/>") g = Copy(g, 1, g.size() - 2) + u'>';
      const QString k = NomBalise(g);
      if (k.isEmpty()) continue;
      r.text = k;
      const QString n = Copy(k, 2, k.size() - 2);

      bool declared = false;
      for (const QString& e : list) {
        if (Pos(QStringLiteral("<!ELEMENT"), e) > 0) {
          const QString rest11 = Copy(e, 11, 256);
          if (beginsWith(rest11, n)) declared = true;
        }
        if (Pos(QStringLiteral("<!ATTLIST"), e) > 0) {
          const QString rest11 = Copy(e, 11, 256);
          if (Pos(QStringLiteral("#REQUIRED"), rest11) > 0 && beginsWith(rest11, n)) {
            QString a = Copy(rest11, n.size() + 2, kAll);
            const qsizetype blank = Pos(QStringLiteral(" "), a);
            if (blank > 0) a = Copy(a, 1, blank - 1);
            if (Pos(a, g) == 0) r.code = 12;
          }
        }
      }
      if (!declared) r.code = 11;
      if (r.code > 0) {
        placeTag(r, lines, int(i), p);
        return r;
      }
    }
  }
  return r;
}

QString message(const Result& r) {
  switch (r.code) {
    case 1: return QStringLiteral("Balise ") + r.text + QStringLiteral(" non fermée");
    case 2: return QStringLiteral("Balise ") + r.text + QStringLiteral(" non ouverte");
    case 3: return QStringLiteral("Racine ") + r.text + QStringLiteral(" non unique");
    case 4: return QStringLiteral("Attribut dans la balise ") + r.text + QStringLiteral(" incorrect");
    case 5: return r.text + QStringLiteral(" Manque ; en fin d'entité");
    case 6: return QStringLiteral("Déclaration xml ou attribut standalone incorrect");
    case 7: return QStringLiteral("Balise ") + r.text + QStringLiteral(" chevauchée");
    case 11: return QStringLiteral("Balise ") + r.text + QStringLiteral(" non déclarée");
    case 12: return QStringLiteral("Attribut dans balise ") + r.text + QStringLiteral(" manquant");
    default: return {};
  }
}

QString report(const QStringList& lines, bool dtd, const Loader& load) {
  const Result v = Valid(lines);
  if (v.code != 0) return message(v);
  if (!dtd) return QStringLiteral("Le document est bien formé");
  const Result d = Validdtd(lines, load);
  if (d.code != 0) return message(d);
  return QStringLiteral("Le document est valide");
}

}  // namespace reference
