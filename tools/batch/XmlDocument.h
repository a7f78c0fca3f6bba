#pragma once
// What the tree, dtd and data commands share: one document named ".xml", read as the editor
// opens it, and refused, as the editor refuses it, when it is not well formed.
#include <QString>
#include <QStringList>

#include "TextStore.h"

namespace batch {

enum class Loaded { Ready, Skipped, Done };

// args must hold exactly one file name. Ready: text holds the document. Skipped: the name has
// no ".xml", so the editor does nothing (status kDone). Done: the message or error is out and
// status holds the exit status.
Loaded loadXmlDocument(const char* command, const QStringList& args, TextStore& text, int& status);

}  // namespace batch
