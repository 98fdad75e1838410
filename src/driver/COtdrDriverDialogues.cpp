// The facade's dialog entry points: configuration and file transfer. They run
// on the host's calling thread; the FTP client belongs to the worker and is
// only logged in and used here. The logins run off that thread under the wait
// window (the host stays painted, its input is dropped); when none succeeds,
// a message names each login tried with the server's own reply to it.

#include "common/TableChaines.h"
#include "driver/COtdrDriver.h"
#include "profile/ClesProfil.h"
#include "driver/GardeRequete.h"
#include "profile/Profil.h"
#include "ftp/CFTPDirect.h"
#include "ui/CDlgAttente.h"
#include "ui/CDlgConfigDriverOtdr.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/CDlgSaisieIdentificationFtp.h"
#include "driver/IdentifiantsFtp.h"
#include "ui/Ressources.h"

int COtdrDriver::ConfigDriver(int)
{
    CGardeRequete garde;
    if (!garde.Acceptee()) return 0;
    CDlgConfigDriverOtdr dlg;
    return dlg.DoModal() == ID_OK ? 1 : 0;
}

int COtdrDriver::ConfigDriver()
{
    return ConfigDriver(1);
}

int COtdrDriver::FileTransfert(const wchar_t* user, const wchar_t* password)
{
    CGardeRequete garde;
    if (!garde.Acceptee()) return 0;
    CFTPDirect* pFtp = GetFTPDirectTache();
    if (!pFtp) return 0;
    const CString strModele = GetIdentificationTache();

    CDlgFileTransfert dlg;
    CString strEssais, strRaison;
    int resultat;
    {
        CDlgAttente attente(Ressources::Chaine(Ressources::IDS_CONNEXION_FTP), Ressources::IDR_ANIM_CONNEXION);
        resultat = IdentifiantsFtp::Connecter(strModele, user, password, [&](const CString& u, const CString& p) {
            strEssais += (strEssais.IsEmpty() ? L"" : L", ") + u;
            if (dlg.ConnexionFtp(u, p, pFtp) == 1) return 1;
            // One line a login: a refusal can differ from one user to the next.
            const CString strReponse = pFtp->GetDerniereErreur();
            if (!strReponse.IsEmpty())
                strRaison += (strRaison.IsEmpty() ? L"" : L"\n") + u + L": " + strReponse;
            // Unreachable, cut or silent: no other login can do better.
            return pFtp->GetEchecConnexion() == CFTPDirect::tEchecConnexion::Refusee ? 0 : -1;
        });
    }
    if (resultat == 1) {
        dlg.DoModal();
        return 1;
    }
    CString strTexte;
    if (strRaison.IsEmpty())
        strTexte.Format(Ressources::ChargerChaine(Ressources::IDS_ECHEC_LOGIN_SANS_RAISON), strEssais.c_str());
    else
        strTexte.Format(Ressources::ChargerChaine(Ressources::IDS_ECHEC_LOGIN), strEssais.c_str(), strRaison.c_str());
    AfficherMessage(strTexte);
    return 0;
}

int COtdrDriver::FileTransfertAvecDemandeLogin()
{
    if (!GetIdentificationTache().IsEmpty()) return FileTransfert(nullptr, nullptr);

    using namespace ClesProfil;
    int nType;
    CString strUtilisateur, strMotDePasse;
    {
        // The guard covers the identification dialog only: FileTransfert below
        // takes its own.
        CGardeRequete garde;
        if (!garde.Acceptee()) return 0;
        auto profil = ProfilCourant();
        CDlgSaisieIdentificationFtp dlg;
        if (profil)
            dlg.SetIdentification(profil->GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 0),
                                  profil->GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""),
                                  profil->GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L""));
        else
            dlg.SetIdentification(0, L"", L"");
        if (dlg.DoModal() != ID_OK) return 1;

        nType = dlg.GetTypeIdentification();
        strUtilisateur = dlg.GetUtilisateur();
        strMotDePasse = dlg.GetMotDePasse();
        if (profil) {
            profil->WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, nType);
            profil->WriteProfileString(SECTION_DRIVER, FTP_LOGIN, strUtilisateur);
            profil->WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, strMotDePasse);
        }
    }

    CString u, p;
    if (IdentifiantsFtp::ParChoix(nType, strUtilisateur, strMotDePasse, u, p)) return FileTransfert(u, p);
    return FileTransfert(nullptr, nullptr);
}
