#include "common/CChaineMBCS.h"

#include <cstring>

#include "common/Conversions.h"

namespace {
// The units given, up to a zero among them.
size_t LongueurBornee(const char* tampon, int nUnites)
{
    const void* zero = std::memchr(tampon, 0, static_cast<size_t>(nUnites));
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - tampon) : static_cast<size_t>(nUnites);
}
} // namespace

CChaineMBCS::~CChaineMBCS() = default;

int CChaineMBCS::GetLongueur() const { return static_cast<int>(std::strlen(GetChaine())); }

int CChaineMBCS::GetTailleOctets() const { return GetLongueur() + 1; }

const char* CChaineMBCS::GetChaine() const { return FormeACJour(); }

void CChaineMBCS::Encoder(const wchar_t* texte, size_t longueur) const
{
    const std::string ansi = WideToAnsi(std::wstring(texte, longueur));
    ReserverOctets(ansi.size() + 1);
    std::memcpy(Octets(), ansi.c_str(), ansi.size() + 1);
}

void CChaineMBCS::SetChaine(const char* tampon)
{
    const std::wstring texte = AnsiToWide(tampon ? tampon : "");
    DefinirTexte(texte.data(), texte.size());
}

void CChaineMBCS::SetChaine(const char* tampon, int nUnites)
{
    if (!tampon || nUnites < 0) {
        SetChaine(tampon);
        return;
    }
    const std::wstring texte = AnsiToWide(std::string(tampon, LongueurBornee(tampon, nUnites)));
    DefinirTexte(texte.data(), texte.size());
}

int CChaineMBCS::CopierVers(char* destination, int taille, int mode) const
{
    return CopierForme(destination, taille, mode, nullptr);
}
