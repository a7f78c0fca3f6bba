#pragma once
// The checker of tovelo-check and of "tovelo-batch check": the editor's "Vérifier la syntaxe"
// and "Valider le document" on files, with the editor's loading and checking code and messages.
#include <QString>
#include <QStringList>

// args: the options and files; program: the name the messages and the help give.
int checkFiles(const QStringList& args, const QString& program);
