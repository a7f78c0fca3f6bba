#pragma once
// TArbre: the tree document wizard. The user draws the element hierarchy as a tree of names;
// Result gives the lines of a skeleton with one element per node, nested as in the tree.
#include <QDialog>
#include <QList>
#include <QStringList>

#include "WizardLines.h"

class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class TArbre : public QDialog {
  Q_OBJECT

 public:
  explicit TArbre(QWidget* parent = nullptr);

  void FormCreate();       // expands the whole tree
  void TreeView1Click();
  void Button3Click();     // "Nouveau"
  void Button4Click();     // "Appliquer", also Enter in Edit1
  void Button5Click();     // "Supprimer"
  void Button1Click();     // "Annuler"
  void Button2Click();     // "OK"
  // Appends the document's lines when the dialog was confirmed and the tree has at least two
  // nodes, nothing otherwise.
  void Result(QStringList& lines) const;

  // The tree's nodes, depth first, with their levels.
  QList<wizards::TreeNode> nodes() const;

  QTreeWidget* TreeView1;
  QGroupBox* GroupBox1;
  QLineEdit* Edit1;
  QPushButton *Button1, *Button2, *Button3, *Button4, *Button5;
  QRadioButton *RadioButton1, *RadioButton2;  // "Frère", "Fils"

  QTreeWidgetItem* NoeudCourant = nullptr;
  bool ModeNouveau = false;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* selectedNode() const;
  void showNode(QTreeWidgetItem* node);

  bool confirmed_ = false;
};
