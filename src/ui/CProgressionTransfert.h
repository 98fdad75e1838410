#pragma once
// What a running copy or deletion has done and has left to do, in files and
// in bytes: fed by the thread that does the work, read by the dialog's thread
// for its status line and progress bar, and summed up at the end.
//
// The totals may grow while the work runs: a tree walk adds each directory's
// files as it finds them (AjouterAFaire), with the totals marked provisional
// until the walk has counted everything (SetTotalProvisoire). A file is
// handled once it is done, skipped, failed or cancelled; the bytes of a
// handled file count as handled whatever became of it, so the bar reaches its
// end, while the rate counts only the bytes that moved.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "common/CString.h"

// How a file ended.
enum class tIssueFichier { Fait, Passe, Echec, Annule };

struct tEtatProgression
{
    CString strFichier;               // the file being handled, or the last one
    bool bFichierEnCours = false;     // strFichier is being handled now
    uint64_t nOctetsFichier = 0;      // moved of that file
    uint64_t nTailleFichier = 0;      // its size (0: unknown)
    uint64_t nOctetsTraites = 0;      // of the whole operation: handled files, and the current one's moved bytes
    uint64_t nOctetsTotal = 0;        // of the whole operation, as known so far
    int nFichiersTraites = 0;         // handled, whatever became of them
    int nFichiersTotal = 0;           // known so far
    int nFaits = 0, nPasses = 0, nEchecs = 0, nAnnules = 0;
    uint64_t nOctetsFaits = 0;        // bytes of the files done
    bool bTotalProvisoire = false;    // the totals may still grow
    double dDebit = 0;                // bytes per second, 0 until it can be measured
    long long nSecondesRestantes = -1;// -1: unknown
};

class CProgressionTransfert
{
public:
    using tHorloge = std::function<std::chrono::steady_clock::time_point()>;
    // The clock is the steady clock unless a test gives its own.
    explicit CProgressionTransfert(tHorloge horloge = {});

    // Back to nothing done and nothing to do; the clock starts.
    void Demarrer();
    void AjouterAFaire(int nFichiers, uint64_t nOctets);
    void SetTotalProvisoire(bool bProvisoire);

    // One file at a time: its start, the bytes moved so far (as a transfer
    // reports them; a size the transfer learns replaces the one given at the
    // start), its end.
    void DebutFichier(const CString& strNom, uint64_t nTaille);
    void Avancer(uint64_t nFaits, uint64_t nTotal);
    void FinFichier(tIssueFichier issue);
    // The work waited for the user (a question): the rate is measured
    // afresh from now, without that pause.
    void Reprendre();

    tEtatProgression Lire() const;

    // The rate is measured over about this much of the recent past.
    static constexpr std::chrono::seconds FENETRE_DEBIT{5};
    // The time left shown forgets older estimates over about this long.
    static constexpr std::chrono::seconds LISSAGE_RESTANT{3};

private:
    using tInstant = std::chrono::steady_clock::time_point;
    tInstant Maintenant() const;
    void Echantillonner();
    // The time left, smoothed with what earlier readings showed.
    long long Lisser(double dRestant) const;

    tHorloge m_horloge;
    mutable std::mutex m_mutex;
    tEtatProgression m_etat;
    uint64_t m_nDeplaces = 0;  // bytes that really moved, for the rate
    std::deque<std::pair<tInstant, uint64_t>> m_echantillons;
    mutable double m_dRestantLisse = -1;  // -1: no estimate yet
    mutable tInstant m_tRestant;
};

namespace TextesProgression {

// "1.2 M of 24.0 M", "512 of 2046": sizes as the panes show them, the bytes
// done in the total's unit.
CString OctetsSur(uint64_t nFaits, uint64_t nTotal);
// "1.0 M/s", "512 B/s".
CString Debit(double dOctetsParSeconde);
// "45 s", "1 min 05 s", "2 h 03 min".
CString Duree(long long nSecondes);

} // namespace TextesProgression
