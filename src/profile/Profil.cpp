#include "profile/Profil.h"

#include <mutex>

#include "profile/CProfilIni.h"

namespace {

std::mutex g_mutex;
std::shared_ptr<IProfil> g_profil;
// Distinguishes "never installed" (use the INI store) from "installed null".
bool g_defini = false;

} // namespace

void DefinirProfil(std::shared_ptr<IProfil> profil)
{
    std::lock_guard<std::mutex> verrou(g_mutex);
    g_profil = std::move(profil);
    g_defini = true;
}

std::shared_ptr<IProfil> ProfilCourant()
{
    std::lock_guard<std::mutex> verrou(g_mutex);
    if (!g_defini) {
        g_profil = std::make_shared<CProfilIni>();
        g_defini = true;
    }
    return g_profil;
}
