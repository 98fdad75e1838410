#include "ui/Controles.h"

#include <cwctype>
#include <mutex>

#include "common/CEvenementManuel.h"
#include "ui/Attente.h"
#include "ui/CDlgAttente.h"
#include "ui/CFrontalMemoire.h"
#include "ui/Ressources.h"

IControle::~IControle() = default;
IEcouteurDialogue::~IEcouteurDialogue() = default;
IFenetreDialogue::~IFenetreDialogue() = default;
IFrontal::~IFrontal() = default;

bool IFrontal::AttendreOperation(CEvenementManuel& evenement, unsigned long nDelaiMs, IControle*)
{
    return evenement.Attendre(nDelaiMs);
}

void ToucheEntree(IFenetreDialogue& fenetre, IEcouteurDialogue& ecouteur)
{
    IControle* focus = fenetre.GetFocus();
    if (focus && focus->GetType() == tTypeControle::Bouton && focus->IsWindowEnabled() && focus->IsWindowVisible())
        ecouteur.OnNotification(focus->GetId(), tNotification::Clic, 0);
    else
        ecouteur.OnEntree();
}

namespace {

std::mutex g_mutexFrontal;
std::shared_ptr<IFrontal> g_frontal;

std::shared_ptr<IFrontal> FrontalSansTete()
{
    static const std::shared_ptr<IFrontal> sansTete = std::make_shared<CFrontalMemoire>();
    return sansTete;
}

// The wait window shown through the installed front end; one at a time.
std::mutex g_mutexAttente;
std::unique_ptr<CDlgAttente> g_attente;
bool g_bAttenteInstallee = false;

void AfficherAttenteFrontal(const wchar_t* texte, unsigned animation)
{
    std::lock_guard<std::mutex> lock(g_mutexAttente);
    g_attente.reset();  // the old window goes before the new one shows
    // A call that raced with going headless shows nothing.
    if (texte && g_bAttenteInstallee) g_attente = std::make_unique<CDlgAttente>(CString(texte), animation);
}

} // namespace

std::shared_ptr<IFrontal> DefinirFrontal(std::shared_ptr<IFrontal> frontal)
{
    const bool installe = frontal != nullptr;
    std::shared_ptr<IFrontal> precedent;
    std::unique_ptr<CDlgAttente> ancienne;
    {
        // Under the wait window's lock, so that no wait window is being made
        // through the front end that leaves.
        std::lock_guard<std::mutex> lockAttente(g_mutexAttente);
        {
            std::lock_guard<std::mutex> lock(g_mutexFrontal);
            precedent = std::move(g_frontal);
            g_frontal = std::move(frontal);
        }
        ancienne = std::move(g_attente);
        if (installe) {
            DefinirAfficherAttente(&AfficherAttenteFrontal);
            g_bAttenteInstallee = true;
        } else if (g_bAttenteInstallee) {
            DefinirAfficherAttente({});
            g_bAttenteInstallee = false;
        }
    }
    // A wait window made by the previous front end does not outlive the switch.
    ancienne.reset();
    return precedent;
}

std::shared_ptr<IFrontal> FrontalCourant()
{
    {
        std::lock_guard<std::mutex> lock(g_mutexFrontal);
        if (g_frontal) return g_frontal;
    }
    return FrontalSansTete();
}

bool FrontalInstalle()
{
    std::lock_guard<std::mutex> lock(g_mutexFrontal);
    return g_frontal != nullptr;
}

int AfficherMessage(unsigned idChaine, tBoutonsMessage boutons)
{
    return AfficherMessage(Ressources::Chaine(idChaine), boutons);
}

int AfficherMessage(const CString& texte, tBoutonsMessage boutons)
{
    return FrontalCourant()->MessageBox(texte, boutons);
}

int ComparerTexteListe(const CString& a, const CString& b)
{
    // The parent entry leads a directory list whatever the names beside it
    // ("[-old]" or "[ x]" would otherwise come before it).
    const bool parentA = a == L"[..]", parentB = b == L"[..]";
    if (parentA != parentB) return parentA ? -1 : 1;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t ca = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t cb = std::towlower(static_cast<wint_t>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
}
