#pragma once
// CWTSetLocale: switches the calling thread's numeric conventions to "C" for
// the time of a sequence (the instrument's numbers are written with a dot,
// whatever locale the host set for its process), leaving the process's other
// threads alone.
//
// Appliquer switches when the thread's numeric locale is not already "C";
// Restaurer puts the previous one back. The owner calls Restaurer; the
// destructor also restores a switch still in force, so the thread is never left
// on a locale object that no longer exists.

#include <clocale>

#include "common/CString.h"
#include "common/Export.h"

#if !defined(_WIN32)
#include <locale.h>
#endif

class CWTSetLocale
{
public:
    static constexpr const wchar_t* MARQUEUR_NON_INITIALISE = L"NON INITIALISE";

    CWTSetLocale();
    virtual ~CWTSetLocale();
    CWTSetLocale(const CWTSetLocale&) = delete;
    CWTSetLocale& operator=(const CWTSetLocale&) = delete;

    void Appliquer();
    void Restaurer();

    // Name of the numeric locale saved by Appliquer, or the marker when nothing was switched.
    const CString& GetLocaleSauvee() const { return m_strLocaleSauvee; }
    int GetCategorie() const { return m_nCategorie; }

    // Name of the calling thread's numeric locale ("C", "fr_FR.UTF-8", ...).
    static CString NomLocaleNumerique();

private:
    CString m_strLocaleSauvee;
    int m_nCategorie;
    int m_nConfigSauvee;     // 1 when the thread had a locale of its own before Appliquer
#if !defined(_WIN32)
    locale_t m_locPrecedente = nullptr;
    locale_t m_locC = nullptr;
#endif
};
