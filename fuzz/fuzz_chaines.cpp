// The encoded strings: decoding any bytes in every class, encoding the texts
// they give, and copying the forms out into buffers of every size.
//
// Invariants: decoding gives Unicode scalar values only; well-formed UTF-8 and
// UTF-16 come back byte for byte, malformed sequences become U+FFFD (an
// incomplete last UTF-8 character is dropped instead); ANSI bytes come back
// byte for byte; the compact form reads back as the text it was made from,
// and is one byte a character whenever that reads back; a form is the same
// whether kept from an earlier text or made afresh; copies are terminated,
// stay in the buffer given, and never end in half a character when cut.
// AddressSanitizer checks that nothing reads or writes past a buffer.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Invariant.h"
#include "common/CChaineMBCS.h"
#include "common/CChaineUTF8.h"
#include "common/CChaineUTFOptimise.h"
#include "common/CChaineUnicode.h"
#include "common/Conversions.h"

namespace {

bool EstScalaire(wchar_t c)
{
    const auto v = static_cast<unsigned long>(c);
    return v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
}

bool Scalaires(const std::wstring& t)
{
    for (wchar_t c : t)
        if (c == 0 || !EstScalaire(c)) return false;
    return true;
}

bool AvecRemplacement(const std::wstring& t) { return t.find(L'\xFFFD') != std::wstring::npos; }

// Strict UTF-8 (no over-long forms, no surrogates, nothing past U+10FFFF),
// written apart from the library's codec.
bool Utf8Valide(const std::string& s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = p[i];
        size_t n;
        unsigned long v;
        if (b < 0x80) { ++i; continue; }
        if (b >= 0xC2 && b <= 0xDF) { n = 1; v = b & 0x1F; }
        else if (b >= 0xE0 && b <= 0xEF) { n = 2; v = b & 0x0F; }
        else if (b >= 0xF0 && b <= 0xF4) { n = 3; v = b & 0x07; }
        else return false;
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            v = (v << 6) | (p[i + k] & 0x3F);
        }
        if ((n == 2 && v < 0x800) || (n == 3 && v < 0x10000) || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// A lead byte followed by continuation bytes only: what the UTF-8 decoder
// drops from the end of its input.
bool FinDeSequence(const std::string& s)
{
    if (s.empty() || (static_cast<unsigned char>(s[0]) & 0xC0) != 0xC0) return false;
    for (size_t i = 1; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
    return true;
}

std::string Forme(const CBaseChaineAtypique& c)
{
    return std::string(c.GetChaine(), static_cast<size_t>(c.GetLongueur() * c.GetTailleUnite()));
}

// The form as GetChaine gives it, its sizes, and its copies into buffers of
// exactly the size announced (AddressSanitizer sees one byte more), whatever
// the size.
void VerifierForme(const CBaseChaineAtypique& c)
{
    const size_t unite = static_cast<size_t>(c.GetTailleUnite());
    const int longueur = c.GetLongueur();
    const std::string forme = Forme(c), zero(unite, '\0');
    VERIFIER(c.GetTailleOctets() == static_cast<int>(forme.size() + unite));
    VERIFIER(std::string(c.GetChaine(), forme.size() + unite) == forme + zero);
    VERIFIER(c.CopierVers(nullptr, 10, 0) == CBaseChaineAtypique::COPIE_INVALIDE);
    char rien = 'x';
    VERIFIER(c.CopierVers(&rien, 0, 0) == CBaseChaineAtypique::COPIE_INVALIDE && rien == 'x');

    for (int taille : {1, 2, 3, longueur - 1, longueur, longueur + 1, longueur + 2}) {
        if (taille < 1) continue;
        for (int mode : {0, CBaseChaineAtypique::MODE_TRONQUER}) {
            const bool bTronquer = mode == CBaseChaineAtypique::MODE_TRONQUER;
            const size_t octets = static_cast<size_t>(taille) * unite;
            std::unique_ptr<char[]> tampon(new char[octets]);
            std::memset(tampon.get(), 0x55, octets);
            const int r = c.CopierVers(tampon.get(), taille, mode);
            const bool bCoupe = longueur >= taille;
            VERIFIER(r == (bCoupe && !bTronquer ? CBaseChaineAtypique::COPIE_TRONQUEE : CBaseChaineAtypique::COPIE_COMPLETE));
            // A prefix of the form, then a zero unit.
            size_t n = 0;
            while (n < octets && std::string(tampon.get() + n, unite) != zero) n += unite;
            VERIFIER(n < octets && forme.compare(0, n, tampon.get(), n) == 0);
            if (!bCoupe) VERIFIER(n == forme.size());
            else if (!bTronquer) VERIFIER(n == octets - unite);
            else VERIFIER(n + 4 * unite >= octets);  // at most one character dropped
        }
    }
}

void VerifierUtf8(const std::string& octets)
{
    const std::string texteOctets = octets.substr(0, octets.find('\0'));
    CChaineUTF8 u;
    u.SetChaine(octets.data(), static_cast<int>(octets.size()));
    VERIFIER(Scalaires(u));
    const std::string forme = Forme(u);
    VERIFIER(Utf8Valide(forme));
    if (Utf8Valide(texteOctets)) {
        VERIFIER(forme == texteOctets);
    } else if (!AvecRemplacement(u)) {
        // Only an incomplete (or over-long) last character was dropped.
        VERIFIER(texteOctets.compare(0, forme.size(), forme) == 0 && FinDeSequence(texteOctets.substr(forme.size())));
    }
    CChaineUTF8 relue;
    relue.SetChaine(forme.c_str());
    VERIFIER(relue == u);
    VerifierForme(u);
    // Cut copies end on a whole character (every size of short forms, some of long ones).
    for (int taille = 1; taille <= u.GetLongueur() + 1; taille += 1 + u.GetLongueur() / 64) {
        std::unique_ptr<char[]> tampon(new char[static_cast<size_t>(taille)]);
        u.CopierVers(tampon.get(), taille, CBaseChaineAtypique::MODE_TRONQUER);
        VERIFIER(Utf8Valide(tampon.get()));
    }
}

void VerifierUnicode(const std::string& octets)
{
    CChaineUnicode u;
    const int nUnites = static_cast<int>(octets.size() / 2);
    u.SetChaine(octets.data(), nUnites);
    VERIFIER(Scalaires(u));
    // The units up to a zero one, and whether each high surrogate has its low one.
    std::u16string unites;
    for (int i = 0; i < nUnites; ++i) {
        const char16_t v = static_cast<char16_t>(static_cast<unsigned char>(octets[2 * i]) |
                                                 (static_cast<unsigned char>(octets[2 * i + 1]) << 8));
        if (v == 0) break;
        unites.push_back(v);
    }
    bool bValide = true;
    for (size_t i = 0; i < unites.size(); ++i) {
        const bool bHaut = unites[i] >= 0xD800 && unites[i] <= 0xDBFF;
        const bool bBas = unites[i] >= 0xDC00 && unites[i] <= 0xDFFF;
        if (bHaut && i + 1 < unites.size() && unites[i + 1] >= 0xDC00 && unites[i + 1] <= 0xDFFF) ++i;
        else if (bHaut || bBas) bValide = false;
    }
    if (bValide) VERIFIER(Forme(u) == octets.substr(0, 2 * unites.size()));
    else VERIFIER(AvecRemplacement(u));
    VerifierForme(u);
    for (int taille = 1; taille <= u.GetLongueur() + 1; taille += 1 + u.GetLongueur() / 64) {
        std::unique_ptr<char[]> tampon(new char[static_cast<size_t>(taille) * 2]);
        u.CopierVers(tampon.get(), taille, CBaseChaineAtypique::MODE_TRONQUER);
        CChaineUnicode copie;
        copie.SetChaine(tampon.get(), taille);
        VERIFIER(!AvecRemplacement(copie) || AvecRemplacement(u));
    }
}

void VerifierMbcs(const std::string& octets, const std::wstring& texte)
{
    CChaineMBCS m;
    m.SetChaine(octets.data(), static_cast<int>(octets.size()));
    VERIFIER(Forme(m) == octets.substr(0, octets.find('\0')));
    VerifierForme(m);
    // A text the code page cannot hold: one default character for each character.
    m.Affecter(texte.c_str());
    const std::string forme = Forme(m);
    VERIFIER(forme.size() == texte.size());
    for (size_t i = 0; i < texte.size(); ++i)
        VERIFIER(static_cast<unsigned char>(forme[i]) ==
                 (static_cast<unsigned long>(texte[i]) < 0x100 ? static_cast<unsigned long>(texte[i]) : '?'));
}

template <class Compacte> void VerifierCompacte(const std::string& octets, const std::wstring& texte)
{
    Compacte c;
    c.SetChaine(octets.data(), static_cast<int>(octets.size()));
    VERIFIER(Scalaires(c));
    for (const std::wstring& t : {static_cast<const std::wstring&>(c), texte}) {
        Compacte e;
        e.Affecter(t.c_str());
        const std::string forme = Forme(e);
        Compacte relue;
        relue.SetChaine(forme.c_str());
        VERIFIER(relue == t);
        VerifierForme(e);
        // One byte a character whenever that form reads back; else the marker and UTF-8.
        bool bCourte = true;
        std::string courte;
        for (wchar_t ch : t) {
            bCourte = bCourte && static_cast<unsigned long>(ch) < 0x100;
            courte += static_cast<char>(ch);
        }
        if (forme != courte) {
            VERIFIER(forme == "\xC3" + WideToUtf8(t));
            Compacte essai;
            essai.SetChaine(courte.c_str());
            VERIFIER(!bCourte || essai != t);
        }
    }
}

// A form kept from the previous text must be the one made afresh, whatever
// changed the text: the CString base, a new encoded buffer or Reserver.
void VerifierCache(const std::wstring& a, const std::wstring& b)
{
    CChaineUTF8 u;
    CChaineUTFOptimise o;
    CChaineUnicode w;
    for (CBaseChaineAtypique* c : {static_cast<CBaseChaineAtypique*>(&u), static_cast<CBaseChaineAtypique*>(&o),
                                   static_cast<CBaseChaineAtypique*>(&w)}) {
        static_cast<std::wstring&>(*c) = a;
        const std::string formeA = Forme(*c);
        static_cast<std::wstring&>(*c) = b;
        const std::string formeB = Forme(*c);
        c->Reserver(static_cast<int>(a.size() % 64));
        VERIFIER(Forme(*c) == formeB);
        c->Affecter(a.c_str());
        VERIFIER(Forme(*c) == formeA);
        c->SetChaine(formeB.c_str(), c->GetTailleUnite() == 1 ? -1 : static_cast<int>(formeB.size() / 2));
        VERIFIER(Forme(*c) == formeB);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    const std::string octets(reinterpret_cast<const char*>(donnees), taille);
    // Texts to encode: the bytes read as UTF-8 and as Latin-1 (the compact form's two cases).
    const std::string avantNul = octets.substr(0, octets.find('\0'));
    const std::wstring texteUtf8 = Utf8ToWide(avantNul);
    const std::wstring texteLatin = AnsiToWide(avantNul);

    VerifierUtf8(octets);
    VerifierUnicode(octets);
    VerifierMbcs(octets, texteUtf8);
    VerifierCompacte<CChaineUTFOptimise>(octets, texteUtf8);
    VerifierCompacte<CChaineUTFOptimise>(octets, texteLatin);
    VerifierCompacte<CChaineUTFOptimiseRapide>(octets, texteLatin);
    VerifierCache(texteUtf8, texteLatin.substr(texteLatin.size() / 2));
    return 0;
}
