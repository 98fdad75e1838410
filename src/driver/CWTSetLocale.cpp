#include "driver/CWTSetLocale.h"

#include "common/Conversions.h"

#if !defined(_WIN32)
#include <langinfo.h>
#endif

CWTSetLocale::CWTSetLocale()
    : m_strLocaleSauvee(MARQUEUR_NON_INITIALISE), m_nCategorie(0), m_nConfigSauvee(0)
{
}

CWTSetLocale::~CWTSetLocale()
{
    Restaurer();
}

#if defined(_WIN32)

CString CWTSetLocale::NomLocaleNumerique()
{
    const wchar_t* nom = _wsetlocale(LC_NUMERIC, nullptr);
    return CString(nom ? nom : L"");
}

void CWTSetLocale::Appliquer()
{
    if (m_strLocaleSauvee != MARQUEUR_NON_INITIALISE) return;
    CString nom = NomLocaleNumerique();
    if (nom == L"C") return;
    m_nCategorie = LC_NUMERIC;
    m_strLocaleSauvee = nom;
    m_nConfigSauvee = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    _wsetlocale(LC_NUMERIC, L"C");
}

void CWTSetLocale::Restaurer()
{
    if (m_strLocaleSauvee != MARQUEUR_NON_INITIALISE) {
        _wsetlocale(m_nCategorie, L"");
        _wsetlocale(m_nCategorie, m_strLocaleSauvee.c_str());
        _configthreadlocale(m_nConfigSauvee);
        m_strLocaleSauvee = MARQUEUR_NON_INITIALISE;
    }
    m_nCategorie = 0;
}

#else

CString CWTSetLocale::NomLocaleNumerique()
{
    locale_t courante = uselocale(static_cast<locale_t>(nullptr));
    const char* nom = nullptr;
    if (courante == LC_GLOBAL_LOCALE) {
        nom = setlocale(LC_NUMERIC, nullptr);
    } else {
#if defined(_NL_LOCALE_NAME)
        nom = nl_langinfo_l(_NL_LOCALE_NAME(LC_NUMERIC), courante);
#endif
    }
    return CString(nom ? AnsiToWide(nom).c_str() : L"");
}

void CWTSetLocale::Appliquer()
{
    // A second Appliquer without Restaurer keeps the first saved state.
    if (m_strLocaleSauvee != MARQUEUR_NON_INITIALISE) return;
    CString nom = NomLocaleNumerique();
    if (nom == L"C" || nom == L"POSIX") return;

    locale_t precedente = uselocale(static_cast<locale_t>(nullptr));
    // The new locale keeps every other category of the one in force.
    locale_t base = duplocale(precedente);
    if (base == nullptr) return;
    locale_t locC = newlocale(LC_NUMERIC_MASK, "C", base);
    if (locC == nullptr) {
        freelocale(base);
        return;
    }
    m_nCategorie = LC_NUMERIC;
    m_strLocaleSauvee = nom;
    m_nConfigSauvee = precedente == LC_GLOBAL_LOCALE ? 0 : 1;
    m_locPrecedente = precedente;
    m_locC = locC;
    uselocale(m_locC);
}

void CWTSetLocale::Restaurer()
{
    if (m_strLocaleSauvee != MARQUEUR_NON_INITIALISE) {
        uselocale(m_locPrecedente);
        freelocale(m_locC);
        m_locC = nullptr;
        m_locPrecedente = nullptr;
        m_strLocaleSauvee = MARQUEUR_NON_INITIALISE;
    }
    m_nCategorie = 0;
}

#endif
