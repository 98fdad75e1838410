#pragma once
// Fixture of the file transfer dialog tests against a real FTP server
// (pyftpdlib on 127.0.0.1, user "test"): the dialog logged in to it and run
// with a script as the user's session.

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "TransfertTest.h"
#include "ftp/CFTPDirect.h"
#include "support/ServeurFtp.h"

class TransferDialogFtpTest : public TransferDialogTest
{
protected:
    std::filesystem::path Serveur() const { return m_serveur.Racine(); }

    // Starts the server, logs `dlg` in and runs it with `script` as the user's session.
    int Ouvrir(CDlgFileTransfert& dlg, const std::function<void(CFenetreScriptee&)>& script,
               const std::vector<std::string>& options = {})
    {
        // Started once per test; a table's rows share it.
        if (m_serveur.Port() == 0 && !m_serveur.Demarrer(options)) return -1;
        m_ftp = std::make_unique<CFTPDirect>(L"127.0.0.1", m_serveur.Port());
        m_ftp->SetDelaiConnexion(std::chrono::seconds(5));
        m_ftp->SetDelaiReponse(std::chrono::seconds(5));
        m_ftp->SetDelaiBlocage(std::chrono::seconds(5));
        if (dlg.ConnexionFtp(L"test", L"secret", m_ftp.get()) != 1) {
            ADD_FAILURE() << "login refused";
            return -1;
        }
        return Executer(dlg, script);
    }

    // Clicks the remote row of the first name, then Ctrl-clicks the others.
    static void SelectionnerDistants(CFenetreScriptee& f, std::initializer_list<const wchar_t*> noms)
    {
        tModificateur mod = tModificateur::Aucun;
        for (const wchar_t* nom : noms) {
            EXPECT_TRUE(f.CliquerLigne(IdsControles::IDC_FICHIERS_DISTANTS, Ligne(f.GetDlgItem(IdsControles::IDC_FICHIERS_DISTANTS), nom), mod));
            mod = tModificateur::Ctrl;
        }
    }

    // A tree with a directory, "interdit", that the server started with
    // REFUS refuses to enter.
    void PreparerRefus()
    {
        Ecrire(Serveur() / "racine.txt", "root");
        Ecrire(Serveur() / "arbre" / "ok.txt", "ok");
        Ecrire(Serveur() / "arbre" / "interdit" / "secret.txt", "secret");
        Ecrire(Serveur() / "arbre" / "sous" / "g.txt", "g");
    }
    const std::vector<std::string> REFUS{"--refuse", "interdit"};

    // Remote /d with three files and a directory, three local files, and the
    // stored remote directory given relative with a final slash.
    void PreparerD()
    {
        for (int i = 1; i <= 3; ++i) {
            Ecrire(Serveur() / "d" / ("r" + std::to_string(i) + ".sor"), Binaire(i, 100 * i));
            Ecrire(Local() / ("l" + std::to_string(i) + ".sor"), Binaire(3 + i, 10 * i));
        }
        std::filesystem::create_directories(Serveur() / "d" / "sous");
        m_profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_DISTANT, L"d/");
    }

    void TearDown() override
    {
        m_ftp.reset();
        TransferDialogTest::TearDown();
    }

    CServeurFtpTest m_serveur;
    std::unique_ptr<CFTPDirect> m_ftp;
};

