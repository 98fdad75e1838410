#pragma once
// Text with its UTF-8 form: remote file names travel in UTF-8.

#include "common/CBaseChaineAtypique.h"

class CChaineUTF8 : public CBaseChaineAtypique
{
public:
    CChaineUTF8() = default;
    ~CChaineUTF8() override;
    using CBaseChaineAtypique::operator=;
    using CBaseChaineAtypique::Affecter;

    const char* GetBOM() const override;  // EF BB BF
    int GetLongueur() const override;
    int GetTailleOctets() const override;
    int GetTailleUnite() const override { return 1; }
    const char* GetChaine() const override;
    // Decodes UTF-8; an incomplete last character is dropped (ReparerFin),
    // other malformed sequences become U+FFFD.
    void SetChaine(const char* tampon, int nUnites) override;
    // Zero-terminated UTF-8; null empties the text.
    void SetChaine(const char* tampon);
    // In MODE_TRONQUER a cut copy never ends in half a character.
    int CopierVers(char* destination, int taille, int mode) const override;
    virtual void Affecter(const CString& texte);

    // Length of `octets` once an incomplete (or over-long) last sequence is
    // cut off at its lead byte; bytes ending in a whole character keep their length.
    static size_t ReparerFin(const char* octets, size_t longueur);

protected:
    void Encoder(const wchar_t* texte, size_t longueur) const override;

private:
    void Decoder(const char* octets, size_t longueur);
};
