#pragma once
// Progress of a transfer on the terminal: a bar with the bytes done, the rate
// and the time left, redrawn a few times a second by a thread of its own.
//
// The bytes of the files in flight come from the library's byte reports (a
// client's progression, a walk's `octets`), from any thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "OptionsOtdr.h"
#include "ftp/CMoteurTransferts.h"

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
    // The file now moving (the name shown).
    void Debut(const std::string& strNom);
    // Bytes of the file strCle in flight moved so far (any thread).
    void Octets(const std::string& strCle, uint64_t nFaits);
    // The file strCle is done (or failed): its bytes count as done when bReussi.
    void Fin(const std::string& strCle, uint64_t nOctets, bool bReussi);
    // Stops the thread and clears the bar.
    void Terminer();

    uint64_t OctetsFaits() const;
    double Secondes() const;

    // On an interruption (signal thread): removes the downloads in flight
    // (CFTPDirect::SupprimerTemporairesEnCours) and ends the bar's line.
    // Never blocks for long.
    static void Interrompre();

    static std::string Octets(uint64_t n);   // "512 B", "1.4 MiB"
    static std::string Duree(double s);      // "0:07", "1:02:03"

private:
    void Boucle();
    void Dessiner(bool bFinal);
    uint64_t EnCours() const;                // called with m_mutex held

    bool m_bActif = false;
    bool m_bTerminal = false;
    bool m_bImmediat = false;
    uint64_t m_nTotal;
    int m_nFichiers;
    int m_nFaits = 0;
    uint64_t m_nOctetsFaits = 0;
    std::string m_strNom;
    std::map<std::string, uint64_t> m_enCours;  // bytes of each file in flight
    bool m_bAffiche = false;
    bool m_bArret = false;
    std::chrono::steady_clock::time_point m_debut;
    std::chrono::steady_clock::time_point m_dernierTexte;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread;
};

// The transfer engine's events on the bar: the totals as the walk lists each
// directory (or, for a sync, as each file that moves starts; for one file, as
// the client learns its size), each file's bytes while in flight and once
// done. `choisir` selects the files (the filters, --dry-run); empty: every file.
class CSuiviProgression : public CMoteurTransferts::IAbonne
{
public:
    enum class tTotaux { ParRepertoire, ParFichier, DuFichier };
    using FonctionChoix = std::function<CParcoursDistant::tSuite(const CParcoursDistant::tFichier&)>;
    CSuiviProgression(CProgression& prog, tTotaux eTotaux, FonctionChoix choisir);

    void Repertoire(const CParcoursDistant::tRepertoire& d) override;
    CParcoursDistant::tSuite Choisir(const CParcoursDistant::tFichier& f) override;
    void Debut(const CParcoursDistant::tFichier& f) override;
    void Octets(const CParcoursDistant::tFichier& f, uint64_t nFaits, uint64_t nTotal) override;
    void Fin(const CParcoursDistant::tFichier& f, CParcoursDistant::tIssueFichier issue,
             const CString& strCause) override;

private:
    CProgression& m_prog;
    const tTotaux m_eTotaux;
    FonctionChoix m_choisir;
};
