#include "LocaleTest.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

bool Disponible(const char* nom)
{
    locale_t l = newlocale(LC_NUMERIC_MASK, nom, static_cast<locale_t>(nullptr));
    if (l == nullptr) return false;
    freelocale(l);
    return true;
}

std::string Preparer()
{
    for (const char* nom : {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "de_DE.utf8"})
        if (Disponible(nom)) return nom;

#if defined(OTDR_LOCALES_DIR)
    // Compiled by the build (tests/driver/CMakeLists.txt) when localedef exists.
    setenv("LOCPATH", OTDR_LOCALES_DIR, 1);
    if (Disponible("fr_FR.UTF-8")) return "fr_FR.UTF-8";
    unsetenv("LOCPATH");
#endif
    return {};
}

} // namespace

// glibc keeps the LOCPATH search list it builds when loading a locale; that is
// not the driver's memory.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions()
{
    return "leak:__argz_add_sep\nleak:__argz_create_sep\n";
}

std::string LocaleVirgule()
{
    static const std::string nom = Preparer();
    return nom;
}

std::string FormaterUnEtDemi()
{
    char tampon[32];
    std::snprintf(tampon, sizeof tampon, "%.1f", 1.5);
    return tampon;
}
