#pragma once
// Reading of stored profile values, shared by the profile stores (internal).

#include <string>

namespace ValeursProfil {

// The whole text (blanks around it allowed) as a decimal int; false when it is
// not one or does not fit, so the caller falls back on its default.
bool LireEntier(const std::wstring& texte, int& valeur);

// Lower-case ASCII form of a section or key name.
std::wstring NomSansCasse(const wchar_t* nom);

} // namespace ValeursProfil
