#pragma once
// The "Annuler" and "OK" pair that ends a wizard, at the right of a row of its own.
class QHBoxLayout;
class QPushButton;
class QWidget;

// Makes cancel ("Annuler", Button1) and ok ("OK", Button2) in parent and returns their row.
// Neither is pressed by Enter in a field: a wizard is confirmed by its "OK" button only.
QHBoxLayout* cancelOkRow(QWidget* parent, QPushButton*& cancel, QPushButton*& ok);
