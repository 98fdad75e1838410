// host_minimal [ADDRESS COMMAND_PORT FTP_PORT]: connect, identify, list "/" over
// FTP, disconnect. Without arguments: make and drop a driver, nothing else.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "driver/COtdrDriver.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "ftp/CFTPDirect.h"
#ifdef HOST_AVEC_QT
#include "ui/qt/FrontalQt.h"
#endif

int main(int argc, char** argv)
{
    auto profil = std::make_shared<CProfilMemoire>();
    DefinirProfil(profil);
#ifdef HOST_AVEC_QT
    // No QApplication here: the front end must refuse to install.
    if (InstallerFrontalQt()) return 3;
#endif
    COtdrDriver driver;
    if (argc != 4) {
        std::printf("connected: %d\n", driver.IsConnexionEnCours());
        return 0;
    }
    using namespace ClesProfil;
    const std::string adresse = argv[1];
    profil->WriteProfileString(SECTION_DRIVER, ADRESSE_IP, std::wstring(adresse.begin(), adresse.end()).c_str());
    profil->WriteProfileInt(SECTION_DRIVER, PORT, std::atoi(argv[2]));
    profil->WriteProfileInt(SECTION_DRIVER, FTP_PORT, std::atoi(argv[3]));
    if (!driver.StartDriver() || !driver.IsConnexionEnCours()) return 1;
    std::printf("model: %ls\n", driver.GetIdentificationAppareil().c_str());
    CFTPDirect* ftp = driver.GetFTPDirect();
    if (!ftp || !ftp->FtpConnexion(L"krx15", L"brimola")) return 1;
    CString racine = L"/";
    CListeFichiersFtp liste;
    ftp->GetDir(&racine, liste, 1);
    std::printf("entries: %d\n", liste.GetSize());
    driver.StopDriver();
    return 0;
}
