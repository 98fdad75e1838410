#include "ftp/CheminDistant.h"

#include <vector>

namespace {

// One body for both kinds of text; the characters looked at are ASCII.
template <class C>
using tTexte = std::basic_string<C>;

template <class C>
constexpr C Car(char c)
{
    return static_cast<C>(c);
}

template <class C>
bool EstAbsolu(const tTexte<C>& s)
{
    return !s.empty() && s[0] == Car<C>('/');
}

template <class C>
tTexte<C> JoindreT(const tTexte<C>& rep, const tTexte<C>& nom)
{
    if (rep.empty() || EstAbsolu(nom))
        return nom;
    if (rep.back() == Car<C>('/'))
        return rep + nom;
    return rep + Car<C>('/') + nom;
}

template <class C>
tTexte<C> ParentT(const tTexte<C>& chemin)
{
    const size_t barre = chemin.rfind(Car<C>('/'));
    if (barre == tTexte<C>::npos || barre == 0)
        return tTexte<C>(1, Car<C>('/'));
    return chemin.substr(0, barre);
}

template <class C>
tTexte<C> NomT(const tTexte<C>& chemin)
{
    const size_t barre = chemin.rfind(Car<C>('/'));
    return barre == tTexte<C>::npos ? chemin : chemin.substr(barre + 1);
}

template <class C>
bool EstSpecialT(const tTexte<C>& nom)
{
    return (nom.size() == 1 && nom[0] == Car<C>('.')) ||
           (nom.size() == 2 && nom[0] == Car<C>('.') && nom[1] == Car<C>('.'));
}

template <class C>
std::vector<tTexte<C>> ComposantsT(const tTexte<C>& chemin)
{
    std::vector<tTexte<C>> r;
    size_t i = 0;
    while (i <= chemin.size()) {
        size_t fin = chemin.find(Car<C>('/'), i);
        if (fin == tTexte<C>::npos)
            fin = chemin.size();
        if (fin > i)
            r.push_back(chemin.substr(i, fin - i));
        i = fin + 1;
    }
    return r;
}

template <class C>
tTexte<C> NormaliserT(const tTexte<C>& chemin)
{
    std::vector<tTexte<C>> pile;
    for (tTexte<C>& composant : ComposantsT(chemin)) {
        if (composant.size() == 1 && composant[0] == Car<C>('.'))
            continue;
        if (EstSpecialT(composant)) {
            if (!pile.empty())
                pile.pop_back();
            continue;
        }
        pile.push_back(std::move(composant));
    }
    tTexte<C> r;
    for (const tTexte<C>& c : pile) {
        r += Car<C>('/');
        r += c;
    }
    return r.empty() ? tTexte<C>(1, Car<C>('/')) : r;
}

template <class C>
tTexte<C> AbsoluT(const tTexte<C>& base, const tTexte<C>& chemin)
{
    return NormaliserT(JoindreT(base.empty() ? tTexte<C>(1, Car<C>('/')) : base, chemin));
}

template <class C>
bool CheminSurT(const tTexte<C>& chemin)
{
    for (C c : chemin)
        if (c == Car<C>('\0') || c == Car<C>('\r') || c == Car<C>('\n') || c == Car<C>('\\'))
            return false;
    return true;
}

template <class C>
bool NomSurT(const tTexte<C>& nom)
{
    if (nom.empty() || EstSpecialT(nom) || !CheminSurT(nom))
        return false;
    return nom.find(Car<C>('/')) == tTexte<C>::npos;
}

} // namespace

namespace CheminDistant {

std::string Joindre(const std::string& r, const std::string& n) { return JoindreT(r, n); }
std::wstring Joindre(const std::wstring& r, const std::wstring& n) { return JoindreT(r, n); }
std::string Parent(const std::string& c) { return ParentT(c); }
std::wstring Parent(const std::wstring& c) { return ParentT(c); }
std::string Nom(const std::string& c) { return NomT(c); }
std::wstring Nom(const std::wstring& c) { return NomT(c); }
std::vector<std::string> Composants(const std::string& c) { return ComposantsT(c); }
std::vector<std::wstring> Composants(const std::wstring& c) { return ComposantsT(c); }
std::string Normaliser(const std::string& c) { return NormaliserT(c); }
std::wstring Normaliser(const std::wstring& c) { return NormaliserT(c); }
std::string Absolu(const std::string& b, const std::string& c) { return AbsoluT(b, c); }
std::wstring Absolu(const std::wstring& b, const std::wstring& c) { return AbsoluT(b, c); }
bool EstSpecial(const std::string& n) { return EstSpecialT(n); }
bool EstSpecial(const std::wstring& n) { return EstSpecialT(n); }
bool NomSur(const std::string& n) { return NomSurT(n); }
bool NomSur(const std::wstring& n) { return NomSurT(n); }
bool CheminSur(const std::string& c) { return CheminSurT(c); }
bool CheminSur(const std::wstring& c) { return CheminSurT(c); }

} // namespace CheminDistant
