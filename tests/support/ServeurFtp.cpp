#include "support/ServeurFtp.h"

#include <gtest/gtest.h>

bool CServeurFtpTest::Demarrer(const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {OTDR_PYTHON, m_pszScript,
                                     "--root", m_racine.Chemin().string()};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!m_processus.Demarrer(argv) || !m_processus.AttendreLigne("READY")) {
        ADD_FAILURE() << "the test FTP server did not start";
        return false;
    }
    m_nPort = m_processus.Port("ftp");
    return m_nPort > 0;
}
