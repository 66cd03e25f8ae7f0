#pragma once

#include <QString>

// Phone numbers as the masked boxes edit and store them: "(###) ###-####",
// kept with the mask's literals.
namespace Phones {

// The input mask of a phone box ("_" stands for a digit not typed).
QString mask();
// Whether a stored text can be shown in the mask unchanged (an empty text
// can); a number kept in another form would be mangled by it.
bool fitsMask(const QString &stored);
// What a masked box stores: its full masked text, or an empty text when not
// one digit has been typed.
QString toStore(const QString &maskedText);

} // namespace Phones
