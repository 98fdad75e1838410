// What a running operation reports: files and bytes done of a total that may
// grow, the rate over the recent past, the time left; the overwrite decision
// and its "for all" answers; the texts of dates, sizes, rates and durations.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "ui/CDecisionEcrasement.h"
#include "ui/CProgressionTransfert.h"
#include "ui/TextesTransfert.h"

using namespace std::chrono;

namespace {

struct CHorloge
{
    steady_clock::time_point t{};
    CProgressionTransfert::tHorloge Fonction() { return [this] { return t; }; }
    void Avancer(int ms) { t += milliseconds(ms); }
};

} // namespace

TEST(TransferProgress, TotalsGrowAsAWalkFindsFilesAndHandledBytesReachThem)
{
    CHorloge h;
    CProgressionTransfert p(h.Fonction());
    p.Demarrer();
    p.SetTotalProvisoire(true);
    p.AjouterAFaire(2, 3000);
    // First file: 1000 bytes announced, the transfer learns it has 1500.
    p.DebutFichier(L"a.sor", 1000);
    h.Avancer(500);
    p.Avancer(500, 1500);
    tEtatProgression e = p.Lire();
    EXPECT_EQ(e.strFichier, CString(L"a.sor"));
    EXPECT_TRUE(e.bFichierEnCours);
    EXPECT_EQ(e.nTailleFichier, 1500u);
    EXPECT_EQ(e.nOctetsTotal, 3500u);
    EXPECT_EQ(e.nOctetsTraites, 500u);
    h.Avancer(500);
    p.Avancer(1500, 1500);
    p.FinFichier(tIssueFichier::Fait);
    // The walk finds more; the second file is skipped: its bytes count as handled.
    p.AjouterAFaire(1, 500);
    p.DebutFichier(L"b.sor", 2000);
    p.FinFichier(tIssueFichier::Passe);
    p.SetTotalProvisoire(false);
    e = p.Lire();
    EXPECT_FALSE(e.bFichierEnCours);
    EXPECT_EQ(e.nFichiersTotal, 3);
    EXPECT_EQ(e.nFichiersTraites, 2);
    EXPECT_EQ(e.nOctetsTraites, 3500u);
    EXPECT_EQ(e.nOctetsTotal, 4000u);
    EXPECT_EQ(e.nFaits, 1);
    EXPECT_EQ(e.nPasses, 1);
    EXPECT_EQ(e.nOctetsFaits, 1500u);
    // 1500 bytes moved in one second; 500 left.
    EXPECT_DOUBLE_EQ(e.dDebit, 1500.0);
    EXPECT_EQ(e.nSecondesRestantes, 1);
}

TEST(TransferProgress, RateFollowsTheRecentPastAndIsUnknownAtFirst)
{
    CHorloge h;
    CProgressionTransfert p(h.Fonction());
    p.Demarrer();
    p.AjouterAFaire(1, 100000000);
    p.DebutFichier(L"grand.sor", 100000000);
    h.Avancer(200);
    p.Avancer(1000000, 0);
    EXPECT_EQ(p.Lire().dDebit, 0.0) << "too soon to say";
    EXPECT_EQ(p.Lire().nSecondesRestantes, -1);
    // Ten seconds at 1 MB/s, then the link slows to 100 kB/s for ten more:
    // the rate is the recent one.
    uint64_t n = 1000000;
    for (int i = 0; i < 10; ++i) p.Avancer(n += 1000000, 0), h.Avancer(1000);
    EXPECT_NEAR(p.Lire().dDebit, 1000000.0, 1.0);
    for (int i = 0; i < 10; ++i) h.Avancer(1000), p.Avancer(n += 100000, 0);
    EXPECT_NEAR(p.Lire().dDebit, 100000.0, 20000.0);
    EXPECT_GT(p.Lire().nSecondesRestantes, 800);
}

TEST(TransferProgress, AFileDoneWithoutReportsCountsItsBytesAndAQuestionsPauseDoesNot)
{
    CHorloge h;
    CProgressionTransfert p(h.Fonction());
    p.Demarrer();
    p.AjouterAFaire(3, 3000);
    // The user took a minute over a question: the rate starts afresh after it.
    h.Avancer(60000);
    p.Reprendre();
    // A copy that reported nothing as it went still moved its bytes.
    p.DebutFichier(L"a.sor", 1000);
    h.Avancer(1000);
    p.FinFichier(tIssueFichier::Fait);
    EXPECT_DOUBLE_EQ(p.Lire().dDebit, 1000.0);
    EXPECT_EQ(p.Lire().nSecondesRestantes, 2);
    // A skipped or failed one moved nothing.
    p.DebutFichier(L"b.sor", 1000);
    h.Avancer(1000);
    p.FinFichier(tIssueFichier::Echec);
    EXPECT_DOUBLE_EQ(p.Lire().dDebit, 500.0);
}

TEST(TransferProgress, OverwriteAnswersForAllApplyToTheRestOfTheOperation)
{
    tQuestionEcrasement plusRecente, plusAncienne, sansDate;
    plusRecente.nDateSource = 2000, plusRecente.nDateCible = 1000;
    plusAncienne.nDateSource = 1000, plusAncienne.nDateCible = 2000;
    sansDate.nDateSource = 2000;
    using D = CDecisionEcrasement::tDecision;
    struct tCas {
        tReponseEcrasement reponse;
        std::vector<D> attendu;  // for plusRecente, plusAncienne, sansDate
        int nQuestions;
    };
    const tCas cas[] = {
        {{tChoixEcrasement::Ecraser, false}, {D::Copier, D::Copier, D::Copier}, 3},
        {{tChoixEcrasement::Passer, true}, {D::Passer, D::Passer, D::Passer}, 1},
        {{tChoixEcrasement::EcraserSiPlusRecent, true}, {D::Copier, D::Passer, D::Passer}, 1},
        {{tChoixEcrasement::EcraserSiPlusRecent, false}, {D::Copier, D::Passer, D::Passer}, 3},
        {{tChoixEcrasement::Annuler, true}, {D::Annuler, D::Annuler, D::Annuler}, 3},
    };
    for (const tCas& c : cas) {
        CDecisionEcrasement d;
        int nQuestions = 0;
        d.SetQuestion([&](const tQuestionEcrasement&) { ++nQuestions; return c.reponse; });
        std::vector<D> vu;
        for (const auto* q : {&plusRecente, &plusAncienne, &sansDate}) vu.push_back(d.Decider(*q));
        EXPECT_EQ(vu, c.attendu) << static_cast<int>(c.reponse.choix) << " " << c.reponse.bPourTous;
        EXPECT_EQ(nQuestions, c.nQuestions);
        // The next operation asks again.
        d.Reinitialiser();
        d.Decider(plusRecente);
        EXPECT_EQ(nQuestions, c.nQuestions + 1);
    }
    CDecisionEcrasement sansQuestion;
    EXPECT_EQ(sansQuestion.Decider(plusAncienne), D::Copier);
}

TEST(TransferTexts, ProgressPiecesAndDatesBothWays)
{
    EXPECT_EQ(TextesProgression::OctetsSur(1258291, 25165824), CString(L"1.2 M of 24.0 M"));
    EXPECT_EQ(TextesProgression::OctetsSur(512, 2046), CString(L"512 of 2046"));
    EXPECT_EQ(TextesProgression::Debit(3145728.0), CString(L"3.0 M/s"));
    EXPECT_EQ(TextesProgression::Debit(512.4), CString(L"512 B/s"));
    EXPECT_EQ(TextesProgression::Duree(45), CString(L"45 s"));
    EXPECT_EQ(TextesProgression::Duree(65), CString(L"1 min 05 s"));
    EXPECT_EQ(TextesProgression::Duree(7380), CString(L"2 h 03 min"));
    for (long long t : {0LL, 951782400LL, 1775988930LL, 4102444799LL})
        EXPECT_EQ(TextesTransfert::DateUtc(TextesTransfert::TexteDate(static_cast<std::time_t>(t))), t) << t;
    for (const wchar_t* texte : {L"Unknown", L"Invalid DateTime", L"13/01/2026 10:00:00", L"01/02/2026 10:00"})
        EXPECT_EQ(TextesTransfert::DateUtc(texte), 0) << texte;
}

TEST(TransferProgress, TimeLeftOnABurstyLinkMovesSmoothly)
{
    // 64 kB arrive at once, then nothing for two seconds, again and again
    // (32 kB/s on average); the dialog reads four times a second.
    CHorloge h;
    CProgressionTransfert p(h.Fonction());
    p.Demarrer();
    const uint64_t nTotal = 2000000;
    p.AjouterAFaire(1, nTotal);
    p.DebutFichier(L"long.sor", nTotal);
    uint64_t n = 0;
    long long nAvant = -1, nSautMax = 0;
    for (int quart = 0; quart < 160; ++quart) {
        if (quart % 8 == 0) p.Avancer(n += 65536, 0);
        h.Avancer(250);
        const long long nReste = p.Lire().nSecondesRestantes;
        // From the sixth second on, the rate window holds a few bursts.
        if (quart >= 24 && nAvant >= 0) nSautMax = std::max(nSautMax, std::abs(nReste - nAvant));
        nAvant = nReste;
    }
    // Raw, the estimate jumps by about a third at each burst (10 s or more here).
    EXPECT_LE(nSautMax, 3) << "the time left jumps between readings";
    EXPECT_NEAR(static_cast<double>(nAvant), static_cast<double>(nTotal - n) / 32768.0, 10.0);
}
