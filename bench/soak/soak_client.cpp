// The client side of the soak, in one long-lived process: identifications
// through the driver (connect, identify, hand back) and downloads of a remote
// tree through the walker, each with a fresh FTP session, against the
// simulator. Prints how its descriptors, threads and resident memory move.
//
//   soak_client HOST COMMAND_PORT FTP_PORT IDENTIFICATIONS DOWNLOADS REMOTE_DIR LOCAL_DIR
//
// Output, for soak.py: "SAMPLE <phase> <runs> <fds> <threads> <rss KiB>" lines,
// "FAIL <phase> <run> <reason>" for each failed run, then "DONE".

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "common/Conversions.h"
#include "driver/COtdrDriver.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CParcoursDistant.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"

namespace fs = std::filesystem;

namespace {

long ChampStatut(const char* nom)
{
    std::ifstream f("/proc/self/status");
    const std::string cle = std::string(nom) + ":";
    for (std::string ligne; std::getline(f, ligne);)
        if (ligne.compare(0, cle.size(), cle) == 0) return std::strtol(ligne.c_str() + cle.size(), nullptr, 10);
    return -1;
}

void Echantillon(const char* phase, int nFaits)
{
    long nFds = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++nFds;
    std::printf("SAMPLE %s %d %ld %ld %ld\n", phase, nFaits, nFds, ChampStatut("Threads"), ChampStatut("VmRSS"));
    std::fflush(stdout);
}

void Echec(const char* phase, int n, const std::wstring& raison)
{
    std::printf("FAIL %s %d %s\n", phase, n, WideToUtf8(raison).c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s HOST COMMAND_PORT FTP_PORT IDENTIFICATIONS DOWNLOADS REMOTE_DIR LOCAL_DIR\n",
                     argv[0]);
        return 2;
    }
    const std::wstring hote = Utf8ToWide(argv[1]);
    const int nPort = std::atoi(argv[2]), nPortFtp = std::atoi(argv[3]);
    const int nIdentifications = std::atoi(argv[4]), nTelechargements = std::atoi(argv[5]);
    const CString distant(Utf8ToWide(argv[6]));
    const fs::path local = argv[7];

    auto profil = std::make_shared<CProfilMemoire>();
    profil->WriteProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, hote.c_str());
    profil->WriteProfileInt(ClesProfil::SECTION_DRIVER, ClesProfil::PORT, nPort);
    profil->WriteProfileInt(ClesProfil::SECTION_DRIVER, ClesProfil::FTP_PORT, nPortFtp);
    DefinirProfil(profil);

    const int nPas = 10;
    Echantillon("identify", 0);
    for (int i = 1; i <= nIdentifications; ++i) {
        COtdrDriver driver;
        tDelaisDriver delais = driver.GetDelais();
        delais.m_nPauseCom = 1;  // the hand-back pause measures nothing here
        driver.SetDelais(delais);
        if (!driver.StartDriver() || !driver.IsConnexionEnCours() || driver.GetIdentificationAppareil().IsEmpty())
            Echec("identify", i, driver.GetRaisonEchecConnexion());
        driver.StopDriver();
        if (i % std::max(1, nIdentifications / nPas) == 0) Echantillon("identify", i);
    }

    Echantillon("get", 0);
    for (int i = 1; i <= nTelechargements; ++i) {
        fs::remove_all(local);
        CFTPDirect ftp(CString(hote), nPortFtp);
        if (!ftp.FtpConnexion(L"krx15", L"brimola")) {
            Echec("get", i, ftp.GetDerniereErreur());
        } else {
            CParcoursDistant parcours(ftp);
            const CParcoursDistant::tBilan bilan = parcours.Telecharger(distant, CString(local.wstring()));
            if (!bilan.Complet() || bilan.nFichiers == 0)
                Echec("get", i, bilan.echecs.empty() ? std::wstring(L"incomplete")
                                                     : bilan.echecs[0].strChemin + L": " + bilan.echecs[0].strRaison);
        }
        if (i % std::max(1, nTelechargements / nPas) == 0) Echantillon("get", i);
    }
    fs::remove_all(local);
    std::printf("DONE\n");
    return 0;
}
