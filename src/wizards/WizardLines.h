#pragma once
// The documents that the project wizards make, as lines: plain functions of the values the user
// gave, so that tests and tools build them without any window.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace wizards {

// A flat data file: the document element, one record, and its fields. The first field is always
// written, the others only when not empty. Names are written as typed.
QStringList simpleDocument(const QString& document, const QString& record,
                           const QStringList& fields);

// One node of a tree, listed depth first (a node before its children); level 0 is top-level.
struct TreeNode {
  QString name;
  int level = 0;
};

// A skeleton with the element structure of the tree; nothing for fewer than two nodes. Top-level
// nodes after the first are written inside the first one's element.
QStringList treeDocument(const QList<TreeNode>& nodes);

// The descriptions of one language on the description sheet.
struct PadDescriptions {
  QString keywords, desc45, desc80;
  QStringList desc250, desc450, desc2000;  // the lines of the multi-line texts
};

// Everything the description sheet writes. One-line values are keyed by their element name
// ("Company_Name", "Program_Type", "ASP_Member_Number"...); a missing key is an empty value.
struct PadSheet {
  QHash<QString, QString> values;
  bool hasExpireInfo = false;
  QString expireBasedOn;  // "Jours", "Utilisations", "Autre", or empty when none is chosen
  bool javaVm = false, vbRuntime = false, directX = false;
  PadDescriptions english, french;
  QStringList distributionPermissions, eula;
  bool aspMember = false, afasMember = false, rushMember = false;
};

// The address given at the end of the sheet's fixed introduction.
extern const char* const kPadPageUrl;

// The whole description sheet, empty elements already shortened.
QStringList padSheet(const PadSheet& sheet);

// The sections of the sheet, one per tab of the dialog.
void Onglet1(const PadSheet& sheet, QStringList& lines);  // publisher
void Onglet2(const PadSheet& sheet, QStringList& lines);  // program
void Onglet3(const PadSheet& sheet, QStringList& lines);  // descriptions
void Onglet4(const PadSheet& sheet, QStringList& lines);  // web addresses
void Onglet5(const PadSheet& sheet, QStringList& lines);  // permissions
void Onglet6(const PadSheet& sheet, QStringList& lines);  // association memberships

// Every line holding "></" is cut after that ">" and " /" goes before it, so an element left
// empty becomes an empty-element tag.
void BalisesVides(QStringList& lines);

// Text as element content: "&", "<" and ">" as entity references.
QString escapeContent(const QString& text);

}  // namespace wizards
