#pragma once
// vsftpd for the FTP client's tests; the pyftpdlib server is shared by every
// test folder (support/ServeurFtp.h).

#include <filesystem>

#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"
#include "common/CString.h"
#include "support/ServeurFtp.h"

class CFTPDirect;

// vsftpd on 127.0.0.1 with a configuration written to a temporary directory:
// anonymous login (any password) with upload, mkdir, delete and rename allowed
// in Racine(). vsftpd answers MLSD with 500 and lists in `ls -l` form.
class CVsftpdTest
{
public:
    CVsftpdTest() : m_dossier("otdr-vsftpd") {}
    static bool Disponible();
    bool Demarrer();
    // Logs `client` in (anonymous) with a 5 s reply limit; strBase receives the
    // login directory that paths start from ("" for "/": without root rights
    // vsftpd does not chroot).
    bool Connecter(CFTPDirect& client, CString& strBase) const;
    std::filesystem::path Racine() const { return m_dossier.Chemin() / "root"; }
    int Port() const { return m_nPort; }

private:
    CRepertoireTemp m_dossier;
    CProcessusTest m_processus;
    int m_nPort = 0;
};
