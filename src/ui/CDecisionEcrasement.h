#pragma once
// What a copy does when its target exists: it asks the user, who answers
// Overwrite, Skip or Overwrite if newer, each for this file or for all the
// files of the operation, or Cancel. An answer "for all" is kept until the
// next operation (Reinitialiser) and asks nothing more.
//
// Decider may be called from any thread (a copy runs off the dialog's
// thread); the question function runs wherever the caller's wiring sends it,
// one question at a time.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "common/CString.h"

struct tQuestionEcrasement
{
    CString strNom;          // the file's name
    CString strRepertoire;   // the directory that holds the existing file
    bool bCibleLocale = true;// the existing file is on this computer (a copy from the instrument)
    uint64_t nTailleCible = 0, nTailleSource = 0;
    // Seconds since the epoch (UTC); 0 when unknown.
    long long nDateCible = 0, nDateSource = 0;
};

enum class tChoixEcrasement { Ecraser, Passer, EcraserSiPlusRecent, Annuler };

struct tReponseEcrasement
{
    tChoixEcrasement choix = tChoixEcrasement::Annuler;
    bool bPourTous = false;
};

class CDecisionEcrasement
{
public:
    using FnQuestion = std::function<tReponseEcrasement(const tQuestionEcrasement&)>;
    enum class tDecision { Copier, Passer, Annuler };

    // Without a question function every target is overwritten.
    void SetQuestion(FnQuestion question);
    // Forgets an answer given "for all".
    void Reinitialiser();
    tDecision Decider(const tQuestionEcrasement& question);

    // The copy is newer than the existing file; false when either date is unknown.
    static bool SourcePlusRecente(const tQuestionEcrasement& question);

private:
    static tDecision Appliquer(tChoixEcrasement choix, const tQuestionEcrasement& question);

    std::mutex m_mutex;  // one question at a time
    FnQuestion m_question;
    std::optional<tChoixEcrasement> m_pourTous;
};
