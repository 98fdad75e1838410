#include "common/CChaineUTF8.h"

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

CChaineUTF8::~CChaineUTF8() = default;

const char* CChaineUTF8::GetBOM() const { return "\xEF\xBB\xBF"; }

int CChaineUTF8::GetLongueur() const { return static_cast<int>(std::strlen(GetChaine())); }

int CChaineUTF8::GetTailleOctets() const { return GetLongueur() + 1; }

const char* CChaineUTF8::GetChaine() const { return FormeACJour(); }

void CChaineUTF8::Encoder(const wchar_t* texte, size_t longueur) const
{
    const size_t taille = Utf8Length(texte, longueur);
    ReserverOctets(taille + 1);
    char* octets = Octets();
    WideToUtf8(texte, longueur, octets);
    octets[taille] = 0;
}

size_t CChaineUTF8::ReparerFin(const char* octets, size_t longueur)
{
    const auto* p = reinterpret_cast<const unsigned char*>(octets);
    if (longueur == 0 || p[longueur - 1] < 0x80) return longueur;
    size_t i = longueur - 1;
    size_t suites = 0;
    while (i > 0 && (p[i] & 0xC0) == 0x80) {
        ++suites;
        --i;
    }
    if ((p[i] & 0xC0) != 0xC0) return longueur;
    size_t annoncees;
    if ((p[i] & 0xE0) == 0xC0) annoncees = 1;
    else if ((p[i] & 0xF0) == 0xE0) annoncees = 2;
    else if ((p[i] & 0xF8) == 0xF0) annoncees = 3;
    else return longueur;
    return suites == annoncees ? longueur : i;
}

void CChaineUTF8::Decoder(const char* octets, size_t longueur)
{
    longueur = ReparerFin(octets, longueur);
    // Decode straight into the text's storage: no byte ever gives more than one wide character.
    std::wstring& texte = *this;
    texte.resize(longueur);
    texte.resize(Utf8ToWide(octets, longueur, texte.data()));
    OublierForme();
}

void CChaineUTF8::SetChaine(const char* tampon)
{
    if (!tampon) {
        DefinirTexte(L"", 0);
        return;
    }
    Decoder(tampon, std::strlen(tampon));
}

void CChaineUTF8::SetChaine(const char* tampon, int nUnites)
{
    if (!tampon || nUnites < 0) {
        SetChaine(tampon);
        return;
    }
    Decoder(tampon, LongueurBornee(tampon, nUnites));
}

int CChaineUTF8::CopierVers(char* destination, int taille, int mode) const
{
    return CopierForme(destination, taille, mode, &CChaineUTF8::ReparerFin);
}

void CChaineUTF8::Affecter(const CString& texte) { assign(static_cast<const std::wstring&>(texte)); }
