#pragma once
// Reading the declarations of a document's DTD (internal subset and SYSTEM file) and
// validating the document's start tags against them.
#include <functional>

#include <QString>
#include <QStringList>

#include "Wellformed.h"

namespace analyse {

// Gives the lines of the external DTD file named after SYSTEM; false when there is no such
// readable file (it then counts as absent).
using ChargeurDtd = std::function<bool(const QString& nom, QStringList& lignes)>;

// The real loader: a relative name is looked for in the document's folder first (when it is
// known), then in the current directory. Lines are read as the editor reads a document.
ChargeurDtd chargeurFichiers(const QString& dossierDocument);

// The declaration list: the external file's lines, then the element declarations, then the
// attribute-list declarations.
QStringList LitDtd(const QStringList& lignes, const ChargeurDtd& charge);

// Checks every start tag against the declarations: 0, 11 (not declared) or 12 (required
// attribute missing), with the tag key of the last start tag examined as text.
Faute Validdtd(const QStringList& lignes, const ChargeurDtd& charge);

// What "Vérifier la syntaxe" (dtd false) and "Valider le document" (dtd true) report: the one
// message box text they show, and the fault in *faute when given.
QString rapportValider(const QStringList& lignes, bool dtd, const ChargeurDtd& charge,
                       Faute* faute = nullptr);

}  // namespace analyse
