#pragma once
// Fixture of the file transfer dialog tests: the in-memory front end, an
// in-memory profile whose "Rep Local" points into a temporary directory, HOME
// set to a temporary directory, and helpers to read the panes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Conversions.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "support/RepertoireTemp.h"
#include "ui/CDlgFileTransfert.h"
#include "support/FrontalScripte.h"
#include "ui/IdsControles.h"

class TransferDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_frontal = std::make_shared<CFrontalScripte>();
        m_ancienFrontal = DefinirFrontal(m_frontal);
        m_profil = std::make_shared<CProfilMemoire>();
        DefinirProfil(m_profil);
        const char* maison = std::getenv("HOME");
        if (maison) m_strAncienneMaison = maison;
        m_bMaison = maison != nullptr;
        ::setenv("HOME", m_maison.Chemin().c_str(), 1);
        std::filesystem::create_directories(Local());
        DefinirRepLocal(Local());
    }

    void TearDown() override
    {
        DefinirFrontal(m_ancienFrontal);
        DefinirProfil(nullptr);
        if (m_bMaison) ::setenv("HOME", m_strAncienneMaison.c_str(), 1);
        else ::unsetenv("HOME");
    }

    // The local side of a test: a directory inside a temporary root, so that
    // anything written beside it shows up in Racine().
    std::filesystem::path Local() const { return m_local.Chemin() / "local"; }
    const CRepertoireTemp& RacineLocale() const { return m_local; }

    static void Ecrire(const std::filesystem::path& p, const std::string& contenu)
    {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << contenu;
    }
    // A binary content that a text-mode transfer would alter.
    static std::string Binaire(int graine, size_t n)
    {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + graine * 7) % 256);
        return s + "\r\n\n\r";
    }
    // Every file and directory under `racine`, relative, with the content of
    // files ("<dir>" for directories).
    static std::map<std::string, std::string> Arbre(const std::filesystem::path& racine)
    {
        return CRepertoireTemp::Arbre(racine);
    }

    static CString Texte(const std::filesystem::path& p) { return CString(Utf8ToWide(p.string())); }
    static CString Dossier(const std::filesystem::path& p) { return Texte(p) + L"/"; }

    void DefinirRepLocal(const std::filesystem::path& p)
    {
        m_profil->WriteProfileString(ClesProfil::SECTION_FTPDIRECT, ClesProfil::REP_LOCAL, Dossier(p));
    }

    // Runs the dialog modally with `script` as the user's session.
    int Executer(CDlgFileTransfert& dlg, std::function<void(CFenetreScriptee&)> script)
    {
        bool bJoue = false;
        m_frontal->AjouterScriptModal([&bJoue, script](CFenetreScriptee& f) {
            bJoue = true;
            script(f);
        });
        const int n = dlg.DoModal();
        EXPECT_TRUE(bJoue) << "the dialog did not run";
        return n;
    }

    static std::vector<CString> Entrees(IControle* liste)
    {
        std::vector<CString> v;
        for (int i = 0; liste && i < liste->GetCount(); ++i) v.push_back(liste->GetText(i));
        return v;
    }
    static int Index(IControle* liste, const CString& texte)
    {
        for (int i = 0; liste && i < liste->GetCount(); ++i)
            if (liste->GetText(i) == texte) return i;
        return -1;
    }
    static std::vector<CString> Colonne(IControle* table, int colonne = 0)
    {
        std::vector<CString> v;
        for (int i = 0; table && i < table->GetItemCount(); ++i) v.push_back(table->GetItemText(i, colonne));
        return v;
    }
    static int Ligne(IControle* table, const CString& nom)
    {
        for (int i = 0; table && i < table->GetItemCount(); ++i)
            if (table->GetItemText(i, 0) == nom) return i;
        return -1;
    }

    std::shared_ptr<CFrontalScripte> m_frontal;
    std::shared_ptr<IFrontal> m_ancienFrontal;
    std::shared_ptr<CProfilMemoire> m_profil;
    CRepertoireTemp m_local{"otdr-transfert"};
    CRepertoireTemp m_maison{"otdr-maison"};
    std::string m_strAncienneMaison;
    bool m_bMaison = false;
};
