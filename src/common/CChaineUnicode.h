#pragma once
// Text with its UTF-16 little-endian form (units of 2 bytes, BOM FF FE), the
// same bytes on every platform so files written with it are portable. Where
// wide text is not UTF-16 (POSIX) the form is a kept conversion, refreshed
// under the same rule as the other encodings.

#include "common/CBaseChaineAtypique.h"

class CChaineUnicode : public CBaseChaineAtypique
{
public:
    CChaineUnicode() = default;
    ~CChaineUnicode() override;
    using CBaseChaineAtypique::operator=;
    using CBaseChaineAtypique::Affecter;

    const char* GetBOM() const override;  // FF FE
    // In UTF-16 units: characters outside the BMP count 2.
    int GetLongueur() const override;
    int GetTailleOctets() const override;
    int GetTailleUnite() const override { return 2; }
    // UTF-16LE bytes, terminated by a zero unit.
    const char* GetChaine() const override;
    // `nUnites` UTF-16LE units (negative: up to a zero unit).
    void SetChaine(const char* tampon, int nUnites) override;
    // UTF-16LE bytes terminated by a zero unit; null empties the text.
    void SetChaine(const char* tampon);
    // `taille` is in units; in MODE_TRONQUER a cut never keeps half a surrogate pair.
    int CopierVers(char* destination, int taille, int mode) const override;

protected:
    void Encoder(const wchar_t* texte, size_t longueur) const override;

private:
    static size_t ReparerFin(const char* octets, size_t unites);
};
