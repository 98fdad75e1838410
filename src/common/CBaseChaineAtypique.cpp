#include "common/CBaseChaineAtypique.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <stdexcept>

#include "common/Conversions.h"

CBaseChaineAtypique::CBaseChaineAtypique()
    : m_nTailleOctets(TAILLE_INLINE), m_pOctets(m_bufOctets), m_bufOctets{},
      m_nTailleCopie(TAILLE_INLINE), m_pCopie(m_bufCopie), m_bufCopie{}
{
}

CBaseChaineAtypique::CBaseChaineAtypique(const CBaseChaineAtypique& autre)
    : CString(autre), m_nTailleOctets(TAILLE_INLINE), m_pOctets(m_bufOctets), m_bufOctets{},
      m_nTailleCopie(TAILLE_INLINE), m_pCopie(m_bufCopie), m_bufCopie{}
{
}

CBaseChaineAtypique& CBaseChaineAtypique::operator=(const CBaseChaineAtypique& autre)
{
    if (this != &autre) Affecter(autre);
    return *this;
}

CBaseChaineAtypique::~CBaseChaineAtypique() { LibererBuffers(); }

void CBaseChaineAtypique::LibererBuffers()
{
    if (m_pOctets != m_bufOctets) delete[] m_pOctets;
    if (m_pCopie != m_bufCopie) delete[] m_pCopie;
    m_pOctets = m_bufOctets;
    m_pCopie = m_bufCopie;
}

void CBaseChaineAtypique::Affecter(const CBaseChaineAtypique& autre)
{
    assign(static_cast<const std::wstring&>(autre));
}

void CBaseChaineAtypique::Affecter(const char* octets)
{
    static_cast<std::wstring&>(*this) = AnsiToWide(octets ? octets : "");
}

void CBaseChaineAtypique::Affecter(const wchar_t* texte) { assign(texte ? texte : L""); }

const char* CBaseChaineAtypique::GetBOM() const { return ""; }

CString CBaseChaineAtypique::GetAscii(char remplacement) const
{
    std::string ascii;
    ascii.reserve(size());
    for (wchar_t c : *this)
        ascii.push_back(static_cast<unsigned long>(c) > 0x7F ? remplacement : static_cast<char>(c));
    return CString(AnsiToWide(ascii));
}

void CBaseChaineAtypique::Reserver(int nUnites)
{
    ReserverOctets(static_cast<size_t>(nUnites > 0 ? nUnites : 0) * static_cast<size_t>(GetTailleUnite()));
    // The buffer no longer holds the encoded form: the copy must not claim it does.
    m_pCopie[0] = 0;
}

void CBaseChaineAtypique::ReserverOctets(size_t octets) const
{
    if (octets > static_cast<size_t>(m_nTailleOctets)) {
        if (octets > static_cast<size_t>(INT_MAX - MARGE_OCTETS)) throw std::length_error("CBaseChaineAtypique");
        // The slack lets small growths of the text reuse the block.
        char* bloc = new char[octets + MARGE_OCTETS];
        if (m_pOctets != m_bufOctets) delete[] m_pOctets;
        m_pOctets = bloc;
        m_nTailleOctets = static_cast<int>(octets + MARGE_OCTETS);
    }
    // A zero unit of either width: the buffer holds at least the inline 20 bytes.
    m_pOctets[0] = 0;
    m_pOctets[1] = 0;
}

void CBaseChaineAtypique::OublierForme() const
{
    m_pOctets[0] = 0;
    m_pOctets[1] = 0;
    m_pCopie[0] = 0;
}

const char* CBaseChaineAtypique::FormeACJour() const
{
    const wchar_t* texte = c_str();
    if (std::wcscmp(texte, m_pCopie) == 0) return m_pOctets;

    const size_t longueur = std::wcslen(texte);
    Encoder(texte, longueur);
    if (longueur + 1 > static_cast<size_t>(m_nTailleCopie)) {
        if (longueur + 1 > static_cast<size_t>(INT_MAX)) throw std::length_error("CBaseChaineAtypique");
        wchar_t* bloc = new wchar_t[longueur + 1];
        if (m_pCopie != m_bufCopie) delete[] m_pCopie;
        m_pCopie = bloc;
        m_nTailleCopie = static_cast<int>(longueur + 1);
    }
    std::wmemcpy(m_pCopie, texte, longueur + 1);
    return m_pOctets;
}

void CBaseChaineAtypique::DefinirTexte(const wchar_t* texte, size_t longueur)
{
    assign(texte, longueur);
    OublierForme();
}

size_t CBaseChaineAtypique::LongueurUnites(const char* tampon) const
{
    if (GetTailleUnite() == 1) return std::strlen(tampon);
    const size_t unite = static_cast<size_t>(GetTailleUnite());
    size_t n = 0;
    for (;; ++n) {
        bool zero = true;
        for (size_t k = 0; k < unite; ++k) zero = zero && tampon[n * unite + k] == 0;
        if (zero) return n;
    }
}

int CBaseChaineAtypique::CopierForme(char* destination, int taille, int mode,
                                      size_t (*reparer)(const char*, size_t)) const
{
    if (!destination || taille <= 0) return COPIE_INVALIDE;
    const char* forme = GetChaine();
    const size_t unite = static_cast<size_t>(GetTailleUnite());
    const size_t longueur = LongueurUnites(forme);
    size_t n = longueur;
    bool tronque = false;
    if (longueur >= static_cast<size_t>(taille)) {
        n = static_cast<size_t>(taille) - 1;
        tronque = true;
        if (mode == MODE_TRONQUER && reparer) n = reparer(forme, n);
    }
    std::memcpy(destination, forme, n * unite);
    std::memset(destination + n * unite, 0, unite);
    return (tronque && mode != MODE_TRONQUER) ? COPIE_TRONQUEE : COPIE_COMPLETE;
}
