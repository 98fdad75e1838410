#pragma once
// Text with a compact form for settings files written in the ANSI code page:
// one byte per character when every character is below 256, else the marker
// byte C3 followed by the UTF-8 of the whole text.
//
// The decoder also reads UTF-8 typed into such files by hand, which makes some
// one-byte forms ambiguous: the Latin-1 text "Ã©" (C3 A9) reads as UTF-8 "é",
// and a form starting with C3 that is not UTF-8 loses its first byte as a
// marker. The encoder therefore writes the one-byte form only when the decoder
// gives the same text back, and the marker form otherwise, so every text comes
// back unchanged. A form that ends in an incomplete UTF-8 sequence (the
// one-byte form of "café", 63 61 66 E9) keeps those last bytes as one
// character each instead of dropping them.

#include "common/CBaseChaineAtypique.h"

class CChaineUTFOptimise : public CBaseChaineAtypique
{
public:
    static constexpr unsigned char MARQUEUR_UTF8 = 0xC3;

    CChaineUTFOptimise() = default;
    ~CChaineUTFOptimise() override;
    using CBaseChaineAtypique::operator=;
    using CBaseChaineAtypique::Affecter;

    int GetLongueur() const override;
    int GetTailleOctets() const override;
    int GetTailleUnite() const override { return 1; }
    const char* GetChaine() const override;
    void SetChaine(const char* tampon, int nUnites) override;
    // Zero-terminated form; null empties the text.
    void SetChaine(const char* tampon);
    int CopierVers(char* destination, int taille, int mode) const override;

    // What the decoder learns from a walk over the bytes.
    struct tVerificationUtf8
    {
        bool bValide = false;          // lead bytes seen, and no sequence broken before the end
        size_t nDebutIncomplet = 0;    // start of an incomplete last sequence, when bIncomplet
        bool bIncomplet = false;
        size_t nAmorces = 0;           // lead bytes seen
    };
    static tVerificationUtf8 VerifierUtf8(const char* octets, size_t longueur);

protected:
    void Encoder(const wchar_t* texte, size_t longueur) const override;

private:
    void Decoder(const char* octets, size_t longueur);
};

// Behaves exactly as CChaineUTFOptimise.
class CChaineUTFOptimiseRapide : public CChaineUTFOptimise
{
public:
    CChaineUTFOptimiseRapide() = default;
    ~CChaineUTFOptimiseRapide() override;
    using CChaineUTFOptimise::operator=;
    using CChaineUTFOptimise::Affecter;
    void Affecter(const char* octets) override;
    void Affecter(const wchar_t* texte) override;
};
