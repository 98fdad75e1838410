#pragma once
// Cancelling an FTP operation from another thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The cancel of one client, shared with its sessions. Annuler may come from any
// thread: it sets the flag and shuts the session's sockets down, which ends any
// wait inside libcurl at once (a reply, the server's connection back, a stalled
// transfer). The flag holds until Rearmer.
class CAnnulationFtp
{
public:
    void Annuler();
    void Rearmer() { m_bAnnule = false; }
    bool EstAnnule() const { return m_bAnnule; }

    // Sockets of the control connection and the active-mode listener, from
    // their creation to their closing.
    void Ajouter(std::intptr_t s);
    void Retirer(std::intptr_t s);
    // The accepted data connection of the request in course (libcurl closes it
    // without telling): kept with its local port, so that a number reused in
    // the meantime is never shut down.
    void DefinirDonnees(std::intptr_t s);
    void OublierDonnees();
    // While the clean-up after a cancel runs, new sockets are spared.
    void SetNettoyage(bool b) { m_bNettoyage = b; }

private:
    std::atomic<bool> m_bAnnule{false};
    std::atomic<bool> m_bNettoyage{false};
    std::mutex m_mutex;
    std::vector<std::intptr_t> m_sockets;
    std::intptr_t m_nDonnees = -1;
    int m_nPortDonnees = -1;
};
