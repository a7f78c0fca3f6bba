#include "Arbre.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeWidgetItem* node(const QString& name) { return new QTreeWidgetItem(QStringList{name}); }

QTreeWidgetItem* node(const QString& name, const QList<QTreeWidgetItem*>& children) {
  QTreeWidgetItem* n = node(name);
  n->addChildren(children);
  return n;
}

void collect(const QTreeWidgetItem* item, int level, QList<wizards::TreeNode>& out) {
  out << wizards::TreeNode{item->text(0), level};
  for (int i = 0; i < item->childCount(); ++i) collect(item->child(i), level + 1, out);
}

}  // namespace

TArbre::TArbre(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Arbre"));
  setWindowTitle(QStringLiteral("Document arborescent"));

  TreeView1 = new QTreeWidget(this);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setAccessibleName(QStringLiteral("Arborescence du document"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView1->setFixedWidth(209);
  TreeView1->setMinimumHeight(257);
  TreeView1->addTopLevelItem(
      node(QStringLiteral("Body"),
           {node(QStringLiteral("Livre"),
                 {node(QStringLiteral("Partie1"),
                       {node(QStringLiteral("Paragraphe1")), node(QStringLiteral("Paragraphe2")),
                        node(QStringLiteral("Paragraphe3"))}),
                  node(QStringLiteral("Partie2"), {node(QStringLiteral("Paragraphe4")),
                                                   node(QStringLiteral("Paragraphe5"))})})}));

  GroupBox1 = new QGroupBox(QStringLiteral("Eléments"), this);
  Edit1 = new QLineEdit(GroupBox1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Button4 = new QPushButton(QStringLiteral("Appliquer"), GroupBox1);
  Button3 = new QPushButton(QStringLiteral("Nouveau"), GroupBox1);
  RadioButton1 = new QRadioButton(QStringLiteral("Frère"), GroupBox1);
  RadioButton2 = new QRadioButton(QStringLiteral("Fils"), GroupBox1);
  RadioButton1->setChecked(true);
  Button5 = new QPushButton(QStringLiteral("Supprimer"), GroupBox1);
  auto* group = new QGridLayout(GroupBox1);
  group->addWidget(Edit1, 0, 0, 1, 2);
  group->addWidget(Button4, 1, 0, 1, 2);
  group->addWidget(Button3, 2, 0, 1, 2);
  group->addWidget(RadioButton1, 3, 0);
  group->addWidget(RadioButton2, 3, 1);
  group->addWidget(Button5, 4, 0, 1, 2);

  Button1 = new QPushButton(QStringLiteral("Annuler"), this);
  Button2 = new QPushButton(QStringLiteral("OK"), this);
  const std::pair<QPushButton*, const char*> named[] = {
      {Button1, "Button1"}, {Button2, "Button2"}, {Button3, "Button3"},
      {Button4, "Button4"}, {Button5, "Button5"}};
  for (const auto& [button, name] : named) button->setObjectName(QLatin1String(name));
  Button2->setDefault(true);

  auto* side = new QVBoxLayout;
  side->addWidget(GroupBox1);
  side->addStretch();
  side->addWidget(Button1);
  side->addWidget(Button2);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 8, 4);
  layout->addWidget(TreeView1);
  layout->addLayout(side);

  connect(TreeView1, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
  connect(Button3, &QPushButton::clicked, this, &TArbre::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TArbre::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TArbre::Button5Click);
  connect(Button1, &QPushButton::clicked, this, &TArbre::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TArbre::Button2Click);

  setFixedSize(sizeHint().expandedTo(QSize(392, 266)));
  FormCreate();
}

void TArbre::FormCreate() { TreeView1->expandAll(); }

QTreeWidgetItem* TArbre::selectedNode() const {
  const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

void TArbre::showNode(QTreeWidgetItem* node) {
  Edit1->setText(node ? node->text(0) : QString());
  NoeudCourant = node;
  ModeNouveau = false;
  Edit1->setFocus();
}

void TArbre::TreeView1Click() {
  // A click beside every node leaves the selection as it was: nothing to show.
  if (QTreeWidgetItem* n = selectedNode()) showNode(n);
}

void TArbre::Button3Click() {
  Edit1->clear();
  NoeudCourant = selectedNode();
  ModeNouveau = true;
  Edit1->setFocus();
}

void TArbre::Button4Click() {
  const QString t = Edit1->text().trimmed();
  if (t.isEmpty()) return;
  if (ModeNouveau) {
    QTreeWidgetItem* added = node(t);
    QTreeWidgetItem* parent = NoeudCourant;
    if (RadioButton1->isChecked() && parent) parent = parent->parent();
    if (parent)
      parent->addChild(added);
    else
      TreeView1->addTopLevelItem(added);
    NoeudCourant = added;
  } else if (QTreeWidgetItem* n = selectedNode()) {
    n->setText(0, t);
  }
  ModeNouveau = false;
  TreeView1->expandAll();
}

void TArbre::Button5Click() {
  // Nothing chosen yet: nothing to delete.
  if (!NoeudCourant) return;
  delete NoeudCourant;
  NoeudCourant = nullptr;
  // The view moves its current node to a neighbour; that one becomes the selected node.
  QTreeWidgetItem* next = TreeView1->currentItem();
  if (next && !next->isSelected()) next->setSelected(true);
  showNode(selectedNode());
}

void TArbre::keyPressEvent(QKeyEvent* event) {
  // Enter in the name field applies the name, and only that; anywhere else it confirms.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && Edit1->hasFocus()) {
    Button4Click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TArbre::Button1Click() {
  confirmed_ = false;
  reject();
}

void TArbre::Button2Click() {
  confirmed_ = true;
  accept();
}

QList<wizards::TreeNode> TArbre::nodes() const {
  QList<wizards::TreeNode> out;
  for (int i = 0; i < TreeView1->topLevelItemCount(); ++i) collect(TreeView1->topLevelItem(i), 0, out);
  return out;
}

void TArbre::Result(QStringList& lines) const {
  if (confirmed_) lines << wizards::treeDocument(nodes());
}
