#include "AccessibleNames.h"

#include <limits>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>

namespace {

QString spoken(QString text) {
  // "&Nom :" is spoken "Nom".
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(u'&');
  text.replace(u'\x01', u'&');
  text = text.simplified();
  while (text.endsWith(u':') || text.endsWith(u'.')) text = text.chopped(1).trimmed();
  return text;
}

QString hintOf(const QWidget* w) {
  if (!w->toolTip().isEmpty()) return spoken(w->toolTip());
  return spoken(w->statusTip());
}

bool isField(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w)) return false;
  // Views of our own that take the keyboard (the document's text).
  if (w->focusPolicy() != Qt::NoFocus && !w->isWindow() && !qobject_cast<const QLabel*>(w) &&
      w->inherits("QAbstractScrollArea"))
    return true;
  return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
         qobject_cast<const QTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
         qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QCalendarWidget*>(w);
}

bool holds(QLayoutItem* item, const QWidget* field) {
  if (!item) return false;
  if (QWidget* w = item->widget()) return w == field || w->isAncestorOf(field);
  if (QLayout* l = item->layout())
    for (int i = 0; i < l->count(); ++i)
      if (holds(l->itemAt(i), field)) return true;
  return false;
}

// The label of the form row that holds the field, alone or with others ("Date" and its three
// boxes).
const QLabel* formLabelOf(const QWidget* field) {
  for (const QWidget* w = field->parentWidget(); w; w = w->parentWidget()) {
    for (const QFormLayout* form : w->findChildren<QFormLayout*>())
      for (int row = 0; row < form->rowCount(); ++row)
        if (holds(form->itemAt(row, QFormLayout::FieldRole), field))
          if (QLayoutItem* label = form->itemAt(row, QFormLayout::LabelRole))
            return qobject_cast<const QLabel*>(label->widget());
    if (w->isWindow()) break;
  }
  return nullptr;
}

// The label that names a field: its buddy, its form row, or the label just before it on the
// same row, or just above it.
const QLabel* labelOf(const QWidget* field) {
  const QWidget* parent = field->parentWidget();
  if (!parent) return nullptr;
  const QList<QLabel*> labels = parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  for (const QLabel* l : labels)
    if (l->buddy() == field) return l;
  if (const QLabel* l = formLabelOf(field)) return l;
  const QRect f = field->geometry();
  const QLabel* best = nullptr;
  int bestDistance = std::numeric_limits<int>::max();
  for (const QLabel* l : labels) {
    if (l->text().trimmed().isEmpty() || !l->pixmap().isNull() || l->isHidden()) continue;
    const QRect r = l->geometry();
    int distance = -1;
    if (r.right() <= f.left() && r.bottom() >= f.top() && r.top() <= f.bottom())
      distance = f.left() - r.right();
    else if (r.bottom() <= f.top() && r.right() >= f.left() && r.left() <= f.right())
      distance = f.top() - r.bottom();
    if (distance >= 0 && distance <= 40 && distance < bestDistance) {
      best = l;
      bestDistance = distance;
    }
  }
  return best;
}

// The control that a part speaks for: the list that drops from a combo box, the line inside an
// editable combo box or a spin box.
QWidget* ownerOf(QWidget* w) {
  for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p) ||
        qobject_cast<QCalendarWidget*>(p))
      return p;
    if (p->isWindow() && p->windowType() != Qt::Popup) break;
  }
  return w;
}

// A view inside a named part of a window (the text, the tree of a document) takes its name.
QString nameOfAncestor(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
    if (!p->accessibleName().isEmpty()) return p->accessibleName();
  return {};
}

QString nameOfField(QWidget* field) {
  if (!field->accessibleName().isEmpty()) return field->accessibleName();
  if (const QLabel* label = labelOf(field)) return spoken(label->text());
  if (QString hint = hintOf(field); !hint.isEmpty()) return hint;
  if (QString name = nameOfAncestor(field); !name.isEmpty()) return name;
  // A lone field in a frame with a title: the title says what it holds.
  for (const QWidget* p = field->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
    if (auto* box = qobject_cast<const QGroupBox*>(p); box && !box->title().isEmpty())
      return spoken(box->title());
  // Qt's page set-up dialog shows its list of units with no label at all.
  if (field->objectName() == u"unitCombo") return QStringLiteral("Unité");
  // The one field of a small window (a calendar, a notepad) is what the window is named for.
  const QWidget* window = field->window();
  if (window->windowType() == Qt::Popup) return {};
  int fields = 0;
  for (QWidget* w : window->findChildren<QWidget*>())
    if (w->window() == window && isField(w) && ownerOf(w) == w) ++fields;
  return fields == 1 ? spoken(window->windowTitle()) : QString();
}

void nameOne(QWidget* w) {
  if (!w->accessibleName().isEmpty()) return;
  QString name;
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    if (!spoken(b->text()).isEmpty()) return;
    name = hintOf(b);
    if (auto* tb = qobject_cast<QToolButton*>(w); name.isEmpty() && tb && tb->defaultAction())
      name = spoken(tb->defaultAction()->text());
    // Arrows without text, as in a pair of spin arrows.
    if (auto* tb = qobject_cast<QToolButton*>(w); name.isEmpty() && tb) {
      switch (tb->arrowType()) {
        case Qt::UpArrow: name = QStringLiteral("Augmenter"); break;
        case Qt::DownArrow: name = QStringLiteral("Diminuer"); break;
        case Qt::LeftArrow: name = QStringLiteral("Précédent"); break;
        case Qt::RightArrow: name = QStringLiteral("Suivant"); break;
        case Qt::NoArrow: break;
      }
    }
    // The clear button that Qt puts in a search field.
    if (name.isEmpty() && qobject_cast<QLineEdit*>(w->parentWidget()))
      name = QStringLiteral("Effacer");
  } else if (isField(w)) {
    QWidget* owner = ownerOf(w);
    name = nameOfField(owner);
  }
  if (!name.isEmpty()) w->setAccessibleName(name);
  // The list that drops from a combo box is made when first asked for, after this pass.
  if (auto* combo = qobject_cast<QComboBox*>(w))
    if (combo->view()->accessibleName().isEmpty())
      combo->view()->setAccessibleName(nameOfField(combo));
}

class Namer : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Show) {
      auto* w = qobject_cast<QWidget*>(watched);
      // A page of tabs is laid out only when first shown: its labels are found then.
      if (w && (w->isWindow() || qobject_cast<QMdiSubWindow*>(w) ||
                qobject_cast<QStackedWidget*>(w->parentWidget())))
        nameControls(w);
    }
    return false;
  }
};

}  // namespace

void nameControls(QWidget* root) {
  nameOne(root);
  // Parents before children, so that a part inside a control takes the control's name.
  for (QWidget* w : root->findChildren<QWidget*>()) nameOne(w);
}

void nameControlsOfEveryWindow() {
  static Namer* namer = nullptr;
  if (namer) return;
  namer = new Namer(qApp);
  qApp->installEventFilter(namer);
}
