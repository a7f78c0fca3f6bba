#pragma once
// The texts that the markup-insertion commands put in place of the selection.
#include <string>

namespace typing {

// A text file's bytes (CR LF breaks) as "&Texte..." inserts them: the accented letters but ç as
// references, and every line, the last one too, ended by CR LF.
std::string insertionText(std::string bytes);

}  // namespace typing
