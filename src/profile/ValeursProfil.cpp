#include "profile/ValeursProfil.h"

#include <climits>

namespace ValeursProfil {

namespace {
bool EstBlanc(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
} // namespace

bool LireEntier(const std::wstring& texte, int& valeur)
{
    size_t i = 0, fin = texte.size();
    while (i < fin && EstBlanc(texte[i])) ++i;
    while (fin > i && EstBlanc(texte[fin - 1])) --fin;
    if (i == fin) return false;
    bool negatif = false;
    if (texte[i] == L'+' || texte[i] == L'-') {
        negatif = texte[i] == L'-';
        ++i;
    }
    if (i == fin) return false;
    long long n = 0;
    for (; i < fin; ++i) {
        wchar_t c = texte[i];
        if (c < L'0' || c > L'9') return false;
        n = n * 10 + (c - L'0');
        if (n > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negatif) n = -n;
    if (n < INT_MIN || n > INT_MAX) return false;
    valeur = static_cast<int>(n);
    return true;
}

std::wstring NomSansCasse(const wchar_t* nom)
{
    std::wstring s(nom ? nom : L"");
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

} // namespace ValeursProfil
