#pragma once
// The conversions between accented letters and numeric character references, and the case
// change of a selection. Texts are Windows-1252 bytes (or QStrings of the same characters).
#include <cstdint>
#include <string>
#include <string_view>

#include <QString>

#include "TextStore.h"

namespace conversion {

// "&#233;" for é when the letter is one of the fourteen converted ones; nullptr otherwise.
// Without the cedilla, ç has no reference (the table of text-file insertion).
const char* referenceOf(unsigned char c, bool withCedilla = true);

// "Convertir caractères spéciaux": the text with its accented lower-case letters written as
// references. Comments and CDATA sections are left alone, and inside a tag only quoted values
// are converted, so that names keep their letters and a well-formed document stays well formed.
// *replaced receives the number of letters converted; when it is 0 the result is the text itself.
TextStore Convertir(const TextStore& text, int64_t* replaced);

// The thirteen letters (all but ç) as references, everywhere in the string.
void CodeAccents(std::string& s);
void CodeAccents(QString& s);

// References back to characters: the fourteen letters, "&nbsp;" (a blank), "&lt;", "&gt;" and
// "&copy;" ("(c)"). A reference without its ";", one not in the table and a lone "&" are left as
// they stand, and the conversion goes on after them.
void CarXml(std::string& s);
void CarXml(QString& s);

// Only the letters a to z and A to Z change case.
QString changeCase(const QString& text, bool upper);

}  // namespace conversion
