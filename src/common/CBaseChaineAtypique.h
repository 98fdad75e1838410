#pragma once
// Strings that keep their text together with one byte encoding of it.
//
// Each object is a CString (the text, readable and writable as any CString)
// and also holds the text's encoded form in a byte buffer of its own. The
// encoding is chosen by picking the class: CChaineUTF8, CChaineMBCS (the ANSI
// code page), CChaineUnicode (UTF-16LE), CChaineUTFOptimise (compact form for
// settings files).
//
// The encoded form is computed lazily and kept: GetChaine re-encodes only when
// the text differs from the copy taken at the last encoding, so a change made
// through the CString base is picked up too. The text is encoded up to its
// first NUL character, as a zero-terminated form can hold nothing past it.
// Texts of up to 19 characters and encoded forms of up to 19 bytes live in the
// object's inline buffers; larger blocks are heap blocks with 32 bytes of slack.
//
// Sizes and lengths are counted in units of the encoding (GetTailleUnite
// bytes each). Pointers returned by GetChaine stay valid until the text or the
// object changes. Objects are not shared between threads without a lock, even
// for reading: reading may refresh the encoded form.

#include "common/CString.h"
#include "common/Export.h"

class CBaseChaineAtypique : public CString
{
public:
    // Statuses of CopierVers, those of the C runtime's bounded copies.
    static constexpr int COPIE_COMPLETE = 0;
    static constexpr int COPIE_TRONQUEE = 80;  // STRUNCATE
    static constexpr int COPIE_INVALIDE = 22;  // EINVAL: null destination or size <= 0
    // CopierVers mode: cut silently to fit (the UTF-8 form never keeps half a character).
    static constexpr int MODE_TRONQUER = 1;

    CBaseChaineAtypique();
    // Copies the text only; the encoded form is made afresh when asked for.
    CBaseChaineAtypique(const CBaseChaineAtypique& autre);
    CBaseChaineAtypique& operator=(const CBaseChaineAtypique& autre);
    using CString::operator=;
    virtual ~CBaseChaineAtypique();

    // The text becomes a copy of another object's text (not its buffers).
    virtual void Affecter(const CBaseChaineAtypique& autre);
    // The text becomes the bytes read in the ANSI code page, in every class
    // (CChaineUTF8 included: UTF-8 bytes go through SetChaine).
    virtual void Affecter(const char* octets);
    virtual void Affecter(const wchar_t* texte);

    // Byte-order mark of the encoding, zero-terminated (empty when it has none).
    virtual const char* GetBOM() const;
    // Length of the encoded form in units, terminator excluded.
    virtual int GetLongueur() const = 0;
    // Size of the encoded form in bytes, terminator included.
    virtual int GetTailleOctets() const = 0;
    virtual int GetTailleUnite() const = 0;
    // The encoded form, terminated by a zero unit.
    virtual const char* GetChaine() const = 0;
    // The text becomes the decoding of `nUnites` units of `tampon` (negative:
    // the buffer is terminated by a zero unit).
    virtual void SetChaine(const char* tampon, int nUnites) = 0;
    // Zero-terminated encoded buffer; null empties the text.
    void SetChaine(const char* tampon) { SetChaine(tampon, -1); }
    // Copies the encoded form into `destination` (`taille` units), always
    // terminated. In MODE_TRONQUER a cut is silent (COPIE_COMPLETE); in any
    // other mode it is reported as COPIE_TRONQUEE.
    virtual int CopierVers(char* destination, int taille, int mode) const = 0;
    // The text with every character above 0x7F replaced by `remplacement`.
    virtual CString GetAscii(char remplacement) const;
    // Makes the byte buffer hold at least `nUnites` units. Its content is
    // dropped: the next GetChaine encodes afresh.
    virtual void Reserver(int nUnites);

protected:
    // Writes the encoded form of `texte` (`longueur` characters, no NUL) into
    // the byte buffer, sized with ReserverOctets, terminator included.
    virtual void Encoder(const wchar_t* texte, size_t longueur) const = 0;

    // The encoded form brought up to date with the text (the cache rule).
    const char* FormeACJour() const;
    // Grows the byte buffer to at least `octets` bytes and empties it.
    void ReserverOctets(size_t octets) const;
    // Drops the kept encoded form: the next GetChaine encodes afresh.
    void OublierForme() const;
    // Copy of `longueur` units of the zero-terminated form, as the C
    // runtime's bounded copy does; `reparer` trims the cut copy (given its
    // length in units) so it never ends in half a character.
    int CopierForme(char* destination, int taille, int mode, size_t (*reparer)(const char*, size_t)) const;
    // Length in units of a zero-terminated buffer of this encoding.
    size_t LongueurUnites(const char* tampon) const;
    // Sets the text and drops the kept encoded form.
    void DefinirTexte(const wchar_t* texte, size_t longueur);
    // The byte buffer, for the encoders.
    char* Octets() const { return m_pOctets; }

private:
    void LibererBuffers();

    static constexpr int TAILLE_INLINE = 20;
    static constexpr int MARGE_OCTETS = 32;

    mutable int m_nTailleOctets;
    mutable char* m_pOctets;
    mutable char m_bufOctets[TAILLE_INLINE];
    mutable int m_nTailleCopie;
    mutable wchar_t* m_pCopie;
    mutable wchar_t m_bufCopie[TAILLE_INLINE];
};
