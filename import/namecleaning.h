#pragma once

#include <QString>

// Cleaning of the product and order texts the windows turn into folder
// names.
namespace NameCleaning {

// The text trimmed, then without "\", "/", ":", "*", "？", "?", '"', "'",
// "“", "”", "‘", "’", "<", "《", ">", "》" and "|", removed in that order,
// and last without every pair of blanks (three blanks leave one).
QString replaceString(QString text);

// A goods name as a folder name: every "*" becomes "x" (8*10 is 8x10),
// then replaceString.
QString productName(QString goodname);

} // namespace NameCleaning
