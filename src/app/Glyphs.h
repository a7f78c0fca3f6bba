#pragma once
// The toolbar's 16 × 16 pictures, drawn by the program itself.
#include <QIcon>
#include <QPixmap>

enum class Glyph {
  Nouveau, Ouvrir, Enregistrer, Annuler, Couper, Copier, Coller, Navigateur, Arborescence,
  FermerBalise, Verifier, Valider, VueSource, VueDonnees,
};

QIcon glyphIcon(Glyph g);

// The program's picture (splash window and about box), size × size pixels.
QPixmap logoPixmap(int size);
