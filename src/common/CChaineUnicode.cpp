#include "common/CChaineUnicode.h"

#include <string>

#include "common/Conversions.h"

namespace {

void EcrireUnite(char* p, char16_t u)
{
    p[0] = static_cast<char>(u & 0xFF);
    p[1] = static_cast<char>(u >> 8);
}

char16_t LireUnite(const char* p)
{
    return static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

} // namespace

CChaineUnicode::~CChaineUnicode() = default;

const char* CChaineUnicode::GetBOM() const { return "\xFF\xFE"; }

int CChaineUnicode::GetLongueur() const { return static_cast<int>(LongueurUnites(GetChaine())); }

int CChaineUnicode::GetTailleOctets() const { return (GetLongueur() + 1) * 2; }

const char* CChaineUnicode::GetChaine() const { return FormeACJour(); }

void CChaineUnicode::Encoder(const wchar_t* texte, size_t longueur) const
{
    const std::u16string unites = WideToUtf16(std::wstring(texte, longueur));
    ReserverOctets((unites.size() + 1) * 2);
    char* p = Octets();
    for (char16_t u : unites) {
        EcrireUnite(p, u);
        p += 2;
    }
    EcrireUnite(p, 0);
}

void CChaineUnicode::SetChaine(const char* tampon)
{
    SetChaine(tampon, -1);
}

void CChaineUnicode::SetChaine(const char* tampon, int nUnites)
{
    if (!tampon) {
        DefinirTexte(L"", 0);
        return;
    }
    std::u16string unites;
    for (size_t i = 0; nUnites < 0 || i < static_cast<size_t>(nUnites); ++i) {
        const char16_t u = LireUnite(tampon + 2 * i);
        if (u == 0) break;
        unites.push_back(u);
    }
    const std::wstring texte = Utf16ToWide(unites);
    DefinirTexte(texte.data(), texte.size());
}

size_t CChaineUnicode::ReparerFin(const char* octets, size_t unites)
{
    if (unites == 0) return 0;
    const char16_t derniere = LireUnite(octets + 2 * (unites - 1));
    return (derniere >= 0xD800 && derniere <= 0xDBFF) ? unites - 1 : unites;
}

int CChaineUnicode::CopierVers(char* destination, int taille, int mode) const
{
    return CopierForme(destination, taille, mode, &CChaineUnicode::ReparerFin);
}
