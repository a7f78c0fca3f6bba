#include "WizardLines.h"

namespace wizards {

namespace {

QString startTag(const QString& name) { return QLatin1Char('<') + name + QLatin1Char('>'); }
QString endTag(const QString& name) { return QStringLiteral("</") + name + QLatin1Char('>'); }
QString emptyPair(const QString& name) { return startTag(name) + QLatin1Char(' ') + endTag(name); }

QString yesNo(bool on) { return on ? QStringLiteral("Y") : QStringLiteral("N"); }

// One value element on one line; what the user typed is escaped, the fixed texts are not.
QString valueLine(int indent, const QString& name, const QString& content) {
  return QString(indent, QLatin1Char(' ')) + startTag(name) + content + endTag(name);
}

class SheetWriter {
 public:
  SheetWriter(const PadSheet& sheet, QStringList& lines) : sheet_(sheet), lines_(lines) {}

  void line(const QString& text) { lines_ << text; }
  void value(int indent, const QString& name) {
    lines_ << valueLine(indent, name, escapeContent(sheet_.values.value(name)));
  }
  void values(int indent, std::initializer_list<const char*> names) {
    for (const char* name : names) value(indent, QLatin1String(name));
  }
  void flag(int indent, const QString& name, bool on) {
    lines_ << valueLine(indent, name, yesNo(on));
  }
  // A multi-line text: its lines between the tags, or one empty-element tag when it has none.
  void text(int indent, const QString& name, const QStringList& textLines) {
    const QString margin(indent, QLatin1Char(' '));
    if (textLines.isEmpty()) {
      lines_ << margin + QLatin1Char('<') + name + QStringLiteral(" />");
      return;
    }
    lines_ << margin + startTag(name);
    for (const QString& l : textLines) lines_ << margin + escapeContent(l);
    lines_ << margin + endTag(name);
  }
  void descriptions(const char* language, const PadDescriptions& d) {
    line(QStringLiteral("    <%1>").arg(QLatin1String(language)));
    lines_ << valueLine(6, QStringLiteral("Keywords"), escapeContent(d.keywords));
    lines_ << valueLine(6, QStringLiteral("Char_Desc_45"), escapeContent(d.desc45));
    lines_ << valueLine(6, QStringLiteral("Char_Desc_80"), escapeContent(d.desc80));
    text(6, QStringLiteral("Char_Desc_250"), d.desc250);
    text(6, QStringLiteral("Char_Desc_450"), d.desc450);
    text(6, QStringLiteral("Char_Desc_2000"), d.desc2000);
    line(QStringLiteral("    </%1>").arg(QLatin1String(language)));
  }
  void membership(const char* association, bool member) {
    const QString a = QLatin1String(association);
    line(QStringLiteral("  <") + a + QLatin1Char('>'));
    flag(4, a + QStringLiteral("_FORM"), true);
    flag(4, a + QStringLiteral("_Member"), member);
    value(4, a + QStringLiteral("_Member_Number"));
    line(QStringLiteral("  </") + a + QLatin1Char('>'));
  }
  const PadSheet& sheet() const { return sheet_; }

 private:
  const PadSheet& sheet_;
  QStringList& lines_;
};

}  // namespace

QStringList simpleDocument(const QString& document, const QString& record,
                           const QStringList& fields) {
  QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), startTag(document),
                    startTag(record)};
  for (qsizetype i = 0; i < fields.size(); ++i)
    if (i == 0 || !fields[i].isEmpty()) lines << emptyPair(fields[i]);
  lines << endTag(record) << endTag(document);
  return lines;
}

QStringList treeDocument(const QList<TreeNode>& nodes) {
  if (nodes.size() < 2) return {};
  QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), startTag(nodes[0].name)};
  QList<TreeNode> open;  // the elements opened after the first node's, outermost first
  const auto closeFrom = [&](int level) {
    while (!open.isEmpty() && open.last().level >= level) lines << endTag(open.takeLast().name);
  };
  for (qsizetype i = 1; i < nodes.size(); ++i) {
    const TreeNode& node = nodes[i];
    closeFrom(node.level);
    if (i + 1 < nodes.size() && nodes[i + 1].level > node.level) {
      lines << startTag(node.name);
      open << node;
    } else {
      lines << emptyPair(node.name);
    }
  }
  closeFrom(0);
  lines << endTag(nodes[0].name);
  return lines;
}

// A neutral address of the reserved example domain: the author puts the format's page here.
const char* const kPadPageUrl = "http://www.example.org/pad";

void Onglet1(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.line(QStringLiteral("  <Company_Info>"));
  w.values(4, {"Company_Name", "Address_1"});
  w.value(4, QStringLiteral("Address_2"));
  lines.last() += QLatin1Char(' ');  // the empty-element rule takes this blank away too
  w.values(4, {"Zip_Postal_Code", "City_Town", "Country", "Company_WebSite_URL"});
  w.line(QStringLiteral("    <Contact_Info>"));
  w.values(6, {"Author_First_Name", "Author_Last_Name", "Author_Email"});
  w.line(QStringLiteral("      <Contact_First_Name />"));
  w.line(QStringLiteral("      <Contact_Last_Name />"));
  w.line(QStringLiteral("      <Contact_Email />"));
  w.line(QStringLiteral("    </Contact_Info>"));
  w.line(QStringLiteral("    <Support_Info>"));
  w.values(6, {"Sales_Email", "Support_Email", "General_Email", "Sales_Phone", "Support_Phone",
               "General_Phone"});
  w.line(QStringLiteral("      <Fax_Phone />"));
  w.line(QStringLiteral("    </Support_Info>"));
  w.line(QStringLiteral("  </Company_Info>"));
}

void Onglet2(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.line(QStringLiteral("  <Program_Info>"));
  w.values(4, {"Program_Name", "Program_Version", "Program_Release_Day", "Program_Release_Month",
               "Program_Release_Year", "Program_Type", "Program_Release_Status",
               "Program_Cost_Dollars", "Program_Cost_Other_Code", "Program_Cost_Other",
               "Program_Install_Support", "Program_OS_Support", "Program_Language"});
  w.line(QStringLiteral("    <File_Info>"));
  w.values(6, {"Filename_Versioned", "Filename_Previous", "Filename_Generic", "Filename_Long",
               "File_Size_Bytes", "File_Size_K", "File_Size_MB"});
  w.line(QStringLiteral("    </File_Info>"));
  w.line(QStringLiteral("    <Expire_Info>"));
  w.flag(6, QStringLiteral("Has_Expire_Info"), sheet.hasExpireInfo);
  if (!sheet.expireBasedOn.isEmpty())
    lines << valueLine(6, QStringLiteral("Expire_Based_On"), escapeContent(sheet.expireBasedOn));
  w.values(6, {"Expire_Other_Info", "Expire_Day", "Expire_Month", "Expire_Year"});
  w.line(QStringLiteral("    </Expire_Info>"));
  w.values(4, {"Program_Change_Info", "Program_Specific_Category", "Program_Categories",
               "Program_System_Requirements"});
  w.flag(4, QStringLiteral("Includes_JAVA_VM"), sheet.javaVm);
  w.flag(4, QStringLiteral("Includes_VB_Runtime"), sheet.vbRuntime);
  w.flag(4, QStringLiteral("Includes_DirectX"), sheet.directX);
  w.line(QStringLiteral("  </Program_Info>"));
}

void Onglet3(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.line(QStringLiteral("  <Program_Descriptions>"));
  w.descriptions("English", sheet.english);
  w.descriptions("French", sheet.french);
  w.line(QStringLiteral("  </Program_Descriptions>"));
}

void Onglet4(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.line(QStringLiteral("  <Web_Info>"));
  w.line(QStringLiteral("    <Application_URLs>"));
  w.values(6, {"Application_Info_URL", "Application_Order_URL", "Application_Screenshot_URL",
               "Application_Icon_URL", "Application_XML_File_URL"});
  w.line(QStringLiteral("    </Application_URLs>"));
  w.line(QStringLiteral("    <Download_URLs>"));
  w.values(6, {"Primary_Download_URL", "Secondary_Download_URL", "Additional_Download_URL_1",
               "Additional_Download_URL_2"});
  w.line(QStringLiteral("    </Download_URLs>"));
  w.line(QStringLiteral("  </Web_Info>"));
}

void Onglet5(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.line(QStringLiteral("  <Permissions>"));
  w.text(4, QStringLiteral("Distribution_Permissions"), sheet.distributionPermissions);
  w.text(4, QStringLiteral("EULA"), sheet.eula);
  w.line(QStringLiteral("  </Permissions>"));
}

void Onglet6(const PadSheet& sheet, QStringList& lines) {
  SheetWriter w(sheet, lines);
  w.membership("ASP", sheet.aspMember);
  w.membership("AFAS", sheet.afasMember);
  w.membership("RUSH", sheet.rushMember);
}

void BalisesVides(QStringList& lines) {
  for (QString& line : lines) {
    const qsizetype at = line.indexOf(QLatin1String("></"));
    if (at >= 0) line = line.left(at) + QStringLiteral(" />");
  }
}

QStringList padSheet(const PadSheet& sheet) {
  QStringList lines{
      QStringLiteral("<?xml version=\"1.0\"?>"),
      QStringLiteral("<XML_DIZ_INFO>"),
      QStringLiteral("<MASTER_PAD_VERSION_INFO>"),
      QStringLiteral("  <MASTER_PAD_VERSION>1.10</MASTER_PAD_VERSION>"),
      QStringLiteral("  <MASTER_PAD_INFO>Portable Application Description, or PAD for short,"),
      QStringLiteral("  is a data set that is used by shareware authors to disseminate information"),
      QStringLiteral("  to anyone interested in their software products. To find out more go to ") +
          QLatin1String(kPadPageUrl) + QStringLiteral("</MASTER_PAD_INFO>"),
      QStringLiteral("</MASTER_PAD_VERSION_INFO>")};
  Onglet1(sheet, lines);
  Onglet2(sheet, lines);
  Onglet3(sheet, lines);
  Onglet4(sheet, lines);
  Onglet5(sheet, lines);
  Onglet6(sheet, lines);
  lines << QStringLiteral("</XML_DIZ_INFO>");
  BalisesVides(lines);
  return lines;
}

QString escapeContent(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace wizards
