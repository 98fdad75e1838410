#include "common/CChaineUTFOptimise.h"

#include <cstring>

#include "common/Conversions.h"

CChaineUTFOptimise::~CChaineUTFOptimise() = default;

int CChaineUTFOptimise::GetLongueur() const { return static_cast<int>(std::strlen(GetChaine())); }

int CChaineUTFOptimise::GetTailleOctets() const { return GetLongueur() + 1; }

const char* CChaineUTFOptimise::GetChaine() const { return FormeACJour(); }

CChaineUTFOptimise::tVerificationUtf8 CChaineUTFOptimise::VerifierUtf8(const char* octets, size_t longueur)
{
    const auto* p = reinterpret_cast<const unsigned char*>(octets);
    tVerificationUtf8 v;
    int attendues = 0;
    size_t derniereAmorce = 0;
    for (size_t i = 0; i < longueur; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            if (attendues > 0) return v;
        } else if ((b & 0xC0) == 0xC0) {
            if (attendues > 0) return v;
            if ((b & 0xE0) == 0xC0) attendues = 1;
            else if ((b & 0xF0) == 0xE0) attendues = 2;
            else if ((b & 0xF8) == 0xF0) attendues = 3;
            else return v;
            derniereAmorce = i;
            ++v.nAmorces;
        } else {
            if (attendues == 0) return v;
            --attendues;
        }
    }
    v.bValide = v.nAmorces > 0;
    if (v.bValide && attendues > 0) {
        v.bIncomplet = true;
        v.nDebutIncomplet = derniereAmorce;
    }
    return v;
}

namespace {

// Would the decoder give back the text whose one-byte form this is? Only when
// the bytes fail the check and do not start with the marker, or when the only
// lead byte they hold starts the incomplete last sequence (kept byte by byte).
bool FormeCourteRelue(const char* octets, size_t longueur)
{
    const auto v = CChaineUTFOptimise::VerifierUtf8(octets, longueur);
    if (!v.bValide)
        return longueur == 0 || static_cast<unsigned char>(octets[0]) != CChaineUTFOptimise::MARQUEUR_UTF8;
    return v.bIncomplet && v.nAmorces == 1;
}

} // namespace

void CChaineUTFOptimise::Encoder(const wchar_t* texte, size_t longueur) const
{
    bool octetParCaractere = true;
    for (size_t i = 0; i < longueur && octetParCaractere; ++i)
        octetParCaractere = static_cast<unsigned long>(texte[i]) < 0x100;

    if (octetParCaractere) {
        ReserverOctets(longueur + 1);
        char* octets = Octets();
        for (size_t i = 0; i < longueur; ++i) octets[i] = static_cast<char>(texte[i]);
        octets[longueur] = 0;
        if (FormeCourteRelue(octets, longueur)) return;
    }
    const size_t taille = Utf8Length(texte, longueur);
    ReserverOctets(taille + 2);
    char* octets = Octets();
    octets[0] = static_cast<char>(MARQUEUR_UTF8);
    WideToUtf8(texte, longueur, octets + 1);
    octets[taille + 1] = 0;
}

void CChaineUTFOptimise::Decoder(const char* octets, size_t longueur)
{
    const auto* p = reinterpret_cast<const unsigned char*>(octets);
    const auto v = VerifierUtf8(octets, longueur);
    std::wstring& texte = *this;
    texte.resize(longueur);
    size_t n = 0;
    if (v.bValide) {
        const size_t finUtf8 = v.bIncomplet ? v.nDebutIncomplet : longueur;
        n = Utf8ToWide(octets, finUtf8, texte.data());
        for (size_t i = finUtf8; i < longueur; ++i) texte[n++] = static_cast<wchar_t>(p[i]);
    } else if (longueur > 0 && p[0] == MARQUEUR_UTF8) {
        n = Utf8ToWide(octets + 1, longueur - 1, texte.data());
    } else {
        for (size_t i = 0; i < longueur; ++i) texte[n++] = static_cast<wchar_t>(p[i]);
    }
    texte.resize(n);
    OublierForme();
}

void CChaineUTFOptimise::SetChaine(const char* tampon)
{
    if (!tampon) {
        DefinirTexte(L"", 0);
        return;
    }
    Decoder(tampon, std::strlen(tampon));
}

void CChaineUTFOptimise::SetChaine(const char* tampon, int nUnites)
{
    if (!tampon || nUnites < 0) {
        SetChaine(tampon);
        return;
    }
    const void* zero = std::memchr(tampon, 0, static_cast<size_t>(nUnites));
    Decoder(tampon, zero ? static_cast<size_t>(static_cast<const char*>(zero) - tampon) : static_cast<size_t>(nUnites));
}

int CChaineUTFOptimise::CopierVers(char* destination, int taille, int mode) const
{
    return CopierForme(destination, taille, mode, nullptr);
}

CChaineUTFOptimiseRapide::~CChaineUTFOptimiseRapide() = default;

void CChaineUTFOptimiseRapide::Affecter(const char* octets) { CChaineUTFOptimise::Affecter(octets); }

void CChaineUTFOptimiseRapide::Affecter(const wchar_t* texte) { CChaineUTFOptimise::Affecter(texte); }
