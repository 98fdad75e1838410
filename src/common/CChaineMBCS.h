#pragma once
// Text with its form in the ANSI code page (ISO-8859-1 on POSIX, so every
// byte comes back unchanged). Characters the code page cannot hold encode as
// DefaultAnsiChar.

#include "common/CBaseChaineAtypique.h"

class CChaineMBCS : public CBaseChaineAtypique
{
public:
    CChaineMBCS() = default;
    ~CChaineMBCS() override;
    using CBaseChaineAtypique::operator=;
    using CBaseChaineAtypique::Affecter;

    int GetLongueur() const override;
    int GetTailleOctets() const override;
    int GetTailleUnite() const override { return 1; }
    const char* GetChaine() const override;
    void SetChaine(const char* tampon, int nUnites) override;
    // Zero-terminated bytes; null empties the text.
    void SetChaine(const char* tampon);
    int CopierVers(char* destination, int taille, int mode) const override;

protected:
    void Encoder(const wchar_t* texte, size_t longueur) const override;
};
