// The INI profile store and the file it is given: links, files that are not
// profiles, permissions, and everything in the file that a write must keep.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "profile/CProfilIni.h"
#include "profile/ClesProfil.h"
#include "support/RepertoireTemp.h"

namespace fs = std::filesystem;
using namespace ClesProfil;

namespace {

int Mode(const fs::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

bool Contient(const std::string& texte, const std::string& extrait) { return texte.find(extrait) != std::string::npos; }

} // namespace

TEST(ProfileFile, SymbolicLinkIsWrittenThroughToItsTarget)
{
    CRepertoireTemp rep;
    const fs::path cible = rep.Ecrire("reel/profile.ini", "; mine\n[OTDR Driver]\nContact = 0\n");
    fs::create_directories(rep.Chemin() / "config");
    const struct { fs::path lien, vers, ecrit; } cas[] = {
        {rep.Chemin() / "config/absolu.ini", cible, cible},
        {rep.Chemin() / "config/relatif.ini", "../reel/profile.ini", cible},
        // A link to nothing yet: the target is created, the link stays.
        {rep.Chemin() / "config/pendant.ini", "../reel/nouveau.ini", rep.Chemin() / "reel/nouveau.ini"},
    };
    for (const auto& c : cas) {
        fs::create_symlink(c.vers, c.lien);
        CProfilIni p(c.lien);
        ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.9.8.7"), 1) << p.GetDerniereErreur();
        EXPECT_TRUE(fs::is_symlink(c.lien)) << c.lien;
        EXPECT_EQ(fs::read_symlink(c.lien), c.vers);
        EXPECT_TRUE(Contient(CRepertoireTemp::Lire(c.ecrit), "Adress IP = 10.9.8.7")) << c.lien;
        EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""), CString(L"10.9.8.7"));
        EXPECT_EQ(Mode(c.ecrit), 0600);
    }
    EXPECT_EQ(CRepertoireTemp::Lire(cible).rfind("; mine\n[OTDR Driver]\nContact = 0\n", 0), 0u);
}

TEST(ProfileFile, WhatCannotServeAsAProfileIsReportedAndNeverReplaced)
{
    CRepertoireTemp rep;
    const std::string binaire("\x89PNG\r\n\x1a\n\0\0\0\rIHDR[OTDR Driver]\nAdress IP = 1.2.3.4\n", 46);
    const struct {
        const char* nom;
        std::string contenu;   // written as the file when non-empty
        const char* raison;
    } fichiers[] = {
        {"binary", binaire, "it is not a text file (a NUL byte at offset 8)"},
        {"latin1", "[OTDR Driver]\nAdress IP = caf\xe9\n", "it is not UTF-8 text (line 2)"},
        {"huge", "; " + std::string(1u << 20, 'x') + "\n", "it is too large for a profile (1048579 bytes)"},
    };
    std::vector<std::pair<fs::path, std::string>> cas;
    for (const auto& f : fichiers) cas.emplace_back(rep.Ecrire(f.nom, f.contenu), f.raison);
    fs::create_directories(rep.Chemin() / "dossier");
    cas.emplace_back(rep.Chemin() / "dossier", "it is a directory");
    // A FIFO would hold a reader until someone writes to it: never opened for waiting.
    const fs::path fifo = rep.Chemin() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cas.emplace_back(fifo, "it is not a regular file");

    for (const auto& [chemin, raison] : cas) {
        SCOPED_TRACE(chemin.filename().string());
        const std::string avant = fs::is_regular_file(chemin) ? CRepertoireTemp::Lire(chemin) : "";
        CProfilIni p(chemin);
        std::string vue;
        EXPECT_FALSE(p.Verifier(vue));
        EXPECT_EQ(vue.rfind(raison, 0), 0u) << vue;
        EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"?"), CString(L"?"));
        EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.0.0.1"), 0);
        EXPECT_EQ(p.GetDerniereErreur(), vue);
        EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, nullptr), 0);
        if (fs::is_regular_file(chemin)) {
            EXPECT_EQ(CRepertoireTemp::Lire(chemin), avant);
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(rep.Chemin() / "dossier"));
    // No temporary file left anywhere.
    EXPECT_EQ(std::distance(fs::directory_iterator(rep.Chemin()), fs::directory_iterator()), 5);
}

TEST(ProfileFile, ReadOnlyFileIsRefusedAndAnyOtherKeepsItsModeUnlessOthersMayReadIt)
{
    CRepertoireTemp rep;
    const struct {
        int mode;
        int ecrit;        // result of the write
        int apres;        // mode afterwards
        const char* remarque;
    } cas[] = {
        {0400, 0, 0400, ""},
        {0600, 1, 0600, ""},
        {0200, 1, 0200, ""},   // not readable by others: kept (the owner reads it back as root only)
        {0640, 1, 0600, "its mode was 0640, now 0600"},
        {0755, 1, 0600, "its mode was 0755, now 0600"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.mode);
        if (c.mode == 0200 && ::geteuid() != 0) continue;   // only an administrator reads it
        const fs::path chemin = rep.Ecrire("p" + std::to_string(c.mode) + ".ini", "[OTDR Driver]\nContact = 0\n");
        ASSERT_EQ(::chmod(chemin.c_str(), static_cast<mode_t>(c.mode)), 0);
        CProfilIni p(chemin);
        EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"secret"), c.ecrit);
        EXPECT_EQ(Mode(chemin), c.apres);
        EXPECT_EQ(p.GetDerniereRemarque().rfind(c.remarque, 0), 0u) << p.GetDerniereRemarque();
        if (c.ecrit == 0) {
            EXPECT_EQ(p.GetDerniereErreur(), "it is read-only (mode 0400)");
            EXPECT_EQ(CRepertoireTemp::Lire(chemin), "[OTDR Driver]\nContact = 0\n");
        }
    }
}

TEST(ProfileFile, AWriteChangesOneLineAndKeepsEverythingElse)
{
    CRepertoireTemp rep;
    // Another program's file: a byte order mark, CR LF, comments, a line that
    // is nothing known, a duplicate key, a section given twice, no final line end.
    const std::string debut =
        "\xEF\xBB\xBF; written by hand\r\n"
        "[otdr driver]\r\n"
        "  adress ip=  192.168.0.9  \r\n"
        "free text the store does not understand\r\n"
        "Adress IP = 10.0.0.99\r\n"
        "\r\n"
        "; about FtpDirect\r\n"
        "[FtpDirect]\r\n"
        "Rep Local = /home\r\n"
        "[OTDR Driver]\r\n"
        "Contact = 0";
    const fs::path chemin = rep.Ecrire("autre.ini", debut);
    CProfilIni p(chemin);
    std::string raison;
    ASSERT_TRUE(p.Verifier(raison)) << raison;
    // The first occurrence is the one read, whatever the case of the names.
    EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""), CString(L"192.168.0.9"));
    EXPECT_EQ(p.GetProfileInt(SECTION_DRIVER, CONTACT, 7), 0);

    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.1.1"), 1);
    ASSERT_EQ(p.WriteProfileInt(SECTION_DRIVER, PORT, 4000), 1);
    ASSERT_EQ(p.WriteProfileString(L"Nouvelle", L"Cle", L"v"), 1);
    ASSERT_EQ(p.WriteProfileString(SECTION_FTPDIRECT, REP_LOCAL, nullptr), 1);
    EXPECT_EQ(CRepertoireTemp::Lire(chemin),
              "\xEF\xBB\xBF; written by hand\r\n"
              "[otdr driver]\r\n"
              "  adress ip = 10.1.1.1\r\n"
              "free text the store does not understand\r\n"
              "Adress IP = 10.0.0.99\r\n"
              "Port = 4000\r\n"
              "\r\n"
              "; about FtpDirect\r\n"
              "[FtpDirect]\r\n"
              "[OTDR Driver]\r\n"
              "Contact = 0\n"
              "\r\n"
              "[Nouvelle]\r\n"
              "Cle = v\r\n");
    // Removing a key removes every occurrence: it then reads as absent.
    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, nullptr), 1);
    EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"none"), CString(L"none"));
    EXPECT_TRUE(Contient(CRepertoireTemp::Lire(chemin), "free text the store does not understand\r\n"));
}
