#pragma once
// The "Annuler" and "OK" pair that ends a wizard, at the right of a row of its own.
class QHBoxLayout;
class QPushButton;
class QWidget;

// Makes cancel ("Annuler", Button1) and ok ("OK", Button2) in parent and returns their row.
// The wizard makes "OK" its default button once the row is inside it (a button made default
// before it has a dialog above it is not the dialog's): Enter in a field then confirms.
QHBoxLayout* cancelOkRow(QWidget* parent, QPushButton*& cancel, QPushButton*& ok);
