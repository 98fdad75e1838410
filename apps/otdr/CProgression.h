#pragma once
// Progress of a transfer on the terminal: a bar with the bytes done, the rate
// and the time left, redrawn a few times a second by a thread of its own.
//
// The library reports no progress while a file moves, so the bytes of the file
// in flight are read from the size of its download file (the ".otdr-*.part"
// file that CFTPDirect::GetFile writes beside the target), and, for an upload, from the
// read position of the file the client has open (Linux: /proc/self/fdinfo;
// elsewhere uploads advance file by file).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "OptionsOtdr.h"

class CProgression
{
public:
    // nTotal: bytes expected. With Auto the bar shows only when standard error
    // is a terminal and the transfer has lasted a second.
    CProgression(eProgression eMode, uint64_t nTotal, int nFichiers);
    ~CProgression();
    CProgression(const CProgression&) = delete;
    CProgression& operator=(const CProgression&) = delete;

    // More work found as a tree walk lists its directories.
    void AjouterTotal(uint64_t nOctets, int nFichiers);
    // The bytes expected, once known (0: still unknown).
    void DefinirTotal(uint64_t nTotal);
    // The file now moving: its local target (downloads, polled) and its name.
    void Debut(const std::filesystem::path& cibleLocale, const std::string& strNom, bool bTelechargement);
    // The file is done (or failed): its bytes count as done when bReussi.
    void Fin(uint64_t nOctets, bool bReussi);
    // Stops the thread and clears the bar.
    void Terminer();

    uint64_t OctetsFaits() const;
    double Secondes() const;

    // On an interruption (signal thread): removes the partial download of the
    // transfer in flight, if any, and ends the bar's line. Never blocks for long.
    static void Interrompre();

    static std::string Octets(uint64_t n);   // "512 B", "1.4 MiB"
    static std::string Duree(double s);      // "0:07", "1:02:03"

private:
    void Boucle();
    void Dessiner(bool bFinal);
    std::filesystem::path FichierPartiel() const;   // called with m_mutex held; empty when none
    uint64_t TaillePartielle();              // called with m_mutex held
    uint64_t PositionLecture();              // upload in flight; with m_mutex held

    bool m_bActif = false;
    bool m_bTerminal = false;
    bool m_bImmediat = false;
    uint64_t m_nTotal;
    int m_nFichiers;
    int m_nFaits = 0;
    uint64_t m_nOctetsFaits = 0;
    std::filesystem::path m_cible;
    std::string m_strNom;
    bool m_bTelechargement = false;
    std::filesystem::path m_source;          // canonical path of the file being uploaded
    int m_nFdSource = -1;                    // its descriptor once found
    bool m_bAffiche = false;
    bool m_bArret = false;
    std::chrono::steady_clock::time_point m_debut;
    std::chrono::steady_clock::time_point m_dernierTexte;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread;
};
