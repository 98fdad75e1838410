#include "ServeurFtpTest.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"

namespace {

const char* const kVsftpd = "/usr/sbin/vsftpd";

bool Accepte(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

} // namespace

bool CVsftpdTest::Disponible() { return ::access(kVsftpd, X_OK) == 0; }

bool CVsftpdTest::Demarrer()
{
    namespace fs = std::filesystem;
    fs::create_directories(Racine());
    fs::create_directories(m_dossier.Chemin() / "empty");
    fs::permissions(Racine(), fs::perms::all);
    m_nPort = PortLibre();
    const std::string conf = "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(m_nPort) +
                             "\nlisten_ipv6=NO\nbackground=NO\n"
                             "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\n"
                             "anon_root=" + Racine().string() +
                             "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                             "anon_other_write_enable=YES\nanon_world_readable_only=NO\nanon_umask=022\n"
                             "allow_writeable_chroot=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
                             "run_as_launching_user=YES\nseccomp_sandbox=NO\nxferlog_enable=NO\n"
                             "utf8_filesystem=YES\nsecure_chroot_dir=" +
                             (m_dossier.Chemin() / "empty").string() + "\n";
    const fs::path fichier = m_dossier.Ecrire("vsftpd.conf", conf);
    if (!m_processus.Demarrer({kVsftpd, fichier.string()})) {
        ADD_FAILURE() << "vsftpd did not start";
        return false;
    }
    for (int i = 0; i < 100; ++i) {
        if (Accepte(m_nPort))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "vsftpd does not accept connections";
    return false;
}

bool CVsftpdTest::Connecter(CFTPDirect& client, CString& base) const
{
    client.SetDelaiReponse(std::chrono::seconds(5));
    // vsftpd accepts before its first session can be served on a loaded
    // machine: a refused first login is tried again.
    bool bConnecte = false;
    for (int i = 0; i < 3 && !bConnecte; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        bConnecte = client.FtpConnexion(L"anonymous", L"user@host") == 1 && client.GetCurrentDirectoryW(base) == 1;
    }
    if (!bConnecte) {
        ADD_FAILURE() << "cannot log in to vsftpd: " << WideToUtf8(client.GetDerniereErreur());
        return false;
    }
    if (base == L"/")
        base.clear();
    return true;
}
