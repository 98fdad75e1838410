#pragma once
// A pyftpdlib server (OTDR_TEST_FTP_SERVER) on 127.0.0.1 with a port chosen by the
// system, serving a fresh temporary directory. User "test", password "secret".
// Given OTDR_TEST_HOSTILE_SERVER instead, the small server that cuts, stalls
// and dies as its options tell (see its top).

#include <string>
#include <vector>

#include "support/ProcessusTest.h"
#include "support/RepertoireTemp.h"

class CServeurFtpTest
{
public:
    explicit CServeurFtpTest(const char* pszScript = OTDR_TEST_FTP_SERVER)
        : m_racine("otdr-ftp"), m_pszScript(pszScript) {}
    // The server script to start (before Demarrer).
    void SetScript(const char* pszScript) { m_pszScript = pszScript; }
    // False (with a test failure) when the server did not come up.
    bool Demarrer(const std::vector<std::string>& options = {});

    const std::filesystem::path& Racine() const { return m_racine.Chemin(); }
    const CRepertoireTemp& Repertoire() const { return m_racine; }
    int Port() const { return m_nPort; }
    CProcessusTest& Processus() { return m_processus; }

private:
    CRepertoireTemp m_racine;
    const char* m_pszScript;
    CProcessusTest m_processus;
    int m_nPort = 0;
};
