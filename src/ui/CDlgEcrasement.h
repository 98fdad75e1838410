#pragma once
// The question a copy asks when its target exists: both files' sizes and
// dates, and Overwrite, Skip, Overwrite if newer (each for this file or for
// all), or Cancel (the whole operation). Enter is "Skip" unless the focus is
// on another button; Escape and the close box are "Cancel".

#include "ui/CDecisionEcrasement.h"
#include "ui/CDialogue.h"

class CDlgEcrasement : public CDialogue
{
public:
    explicit CDlgEcrasement(const tQuestionEcrasement& question);

    // Runs the question; Cancel (or a window that could not be made) answers Annuler.
    tReponseEcrasement Demander();

    // "24.0 M (25165824 bytes), 04/12/2026 10:15:30"
    static CString TexteFichier(uint64_t nTaille, long long nDateUtc);

protected:
    int OnInitDialog() override;
    void OnOK() override;
    void OnCommande(unsigned nId, tNotification notification, int nParametre) override;

private:
    tQuestionEcrasement m_question;
    tReponseEcrasement m_reponse;
};
