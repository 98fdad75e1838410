#include "ui/CDecisionEcrasement.h"

void CDecisionEcrasement::SetQuestion(FnQuestion question)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_question = std::move(question);
}

void CDecisionEcrasement::Reinitialiser()
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    m_pourTous.reset();
}

bool CDecisionEcrasement::SourcePlusRecente(const tQuestionEcrasement& q)
{
    return q.nDateSource != 0 && q.nDateCible != 0 && q.nDateSource > q.nDateCible;
}

CDecisionEcrasement::tDecision CDecisionEcrasement::Appliquer(tChoixEcrasement choix,
                                                              const tQuestionEcrasement& q)
{
    switch (choix) {
    case tChoixEcrasement::Ecraser: return tDecision::Copier;
    case tChoixEcrasement::Passer: return tDecision::Passer;
    case tChoixEcrasement::EcraserSiPlusRecent: return SourcePlusRecente(q) ? tDecision::Copier : tDecision::Passer;
    case tChoixEcrasement::Annuler: break;
    }
    return tDecision::Annuler;
}

CDecisionEcrasement::tDecision CDecisionEcrasement::Decider(const tQuestionEcrasement& q)
{
    std::lock_guard<std::mutex> verrou(m_mutex);
    if (m_pourTous)
        return Appliquer(*m_pourTous, q);
    if (!m_question)
        return tDecision::Copier;
    const tReponseEcrasement reponse = m_question(q);
    if (reponse.bPourTous && reponse.choix != tChoixEcrasement::Annuler)
        m_pourTous = reponse.choix;
    return Appliquer(reponse.choix, q);
}
