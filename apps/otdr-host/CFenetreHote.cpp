#include "CFenetreHote.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cstdio>

#include "common/Conversions.h"
#include "ftp/CFTPDirect.h"
#include "profile/ClesProfil.h"
#include "profile/Profil.h"

namespace {
QString Texte(const CString& s) { return QString::fromStdWString(s); }
} // namespace

CFenetreHote::CFenetreHote(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("OTDR host"));
    m_pConfigurer = new QPushButton(QStringLiteral("Configure..."), this);
    m_pConnecter = new QPushButton(QStringLiteral("Connect"), this);
    m_pTransfert = new QPushButton(QStringLiteral("File transfer..."), this);
    m_pDeconnecter = new QPushButton(QStringLiteral("Disconnect"), this);
    m_pEtat = new QLabel(this);
    m_pEtat->setObjectName(QStringLiteral("etat"));
    m_pEtat->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* boutons = new QHBoxLayout;
    for (QPushButton* b : {m_pConfigurer, m_pConnecter, m_pTransfert, m_pDeconnecter})
        boutons->addWidget(b);
    auto* colonne = new QVBoxLayout(this);
    colonne->addLayout(boutons);
    colonne->addWidget(m_pEtat);

    connect(m_pConfigurer, &QPushButton::clicked, this, &CFenetreHote::Configurer);
    connect(m_pConnecter, &QPushButton::clicked, this, &CFenetreHote::Connecter);
    connect(m_pTransfert, &QPushButton::clicked, this, &CFenetreHote::TransfererFichiers);
    connect(m_pDeconnecter, &QPushButton::clicked, this, &CFenetreHote::Deconnecter);
    MettreAJour();
}

void CFenetreHote::Configurer()
{
    // The dialog's "Connect" button closes it with 1: connect to the new address.
    if (m_driver.ConfigDriver() == 1)
        Connecter();
    MettreAJour();
}

void CFenetreHote::Connecter()
{
    m_pEtat->setText(QStringLiteral("Connecting..."));
    m_driver.StartDriver();
    // Why the instrument could not be reached, or did not say what it is.
    m_strDerniereRaison = Texte(m_driver.GetRaisonEchecConnexion());
    MettreAJour();
}

void CFenetreHote::TransfererFichiers()
{
    m_strDerniereRaison.clear();
    if (m_driver.FileTransfertAvecDemandeLogin() == 0) {
        CFTPDirect* pFtp = m_driver.GetFTPDirect();
        const QString strRaison = pFtp ? Texte(pFtp->GetDerniereErreur()) : QString();
        m_strDerniereRaison = strRaison.isEmpty() ? QStringLiteral("file transfer: no login was accepted")
                                                  : QStringLiteral("file transfer: login failed (%1)").arg(strRaison);
    }
    MettreAJour();
}

void CFenetreHote::Deconnecter()
{
    m_driver.StopDriver();
    m_strDerniereRaison.clear();
    MettreAJour();
}

void CFenetreHote::MettreAJour()
{
    const bool bConnecte = m_driver.IsConnexionEnCours() != 0;
    QString adresse;
    if (auto profil = ProfilCourant())
        adresse = Texte(profil->GetProfileString(ClesProfil::SECTION_DRIVER, ClesProfil::ADRESSE_IP, L""));
    QString texte;
    if (bConnecte) {
        const QString modele = Texte(m_driver.GetIdentificationAppareil());
        const QString version = Texte(m_driver.GetVersionAppareil());
        texte = QStringLiteral("Connected to %1 - model: %2%3")
                    .arg(adresse.isEmpty() ? QStringLiteral("?") : adresse,
                         modele.isEmpty() ? QStringLiteral("(not identified)") : modele,
                         version.isEmpty() ? QString() : QStringLiteral(", version ") + version);
    } else {
        texte = adresse.isEmpty() ? QStringLiteral("Not connected - no instrument configured")
                                  : QStringLiteral("Not connected (instrument: %1)").arg(adresse);
    }
    if (!m_strDerniereRaison.isEmpty()) texte += QStringLiteral(" - ") + m_strDerniereRaison;
    m_pEtat->setText(texte);
    m_pConnecter->setEnabled(!bConnecte);
    m_pTransfert->setEnabled(bConnecte);
    m_pDeconnecter->setEnabled(bConnecte);
    // The status also goes to standard output, for scripts and the demo's log.
    std::printf("status: %s\n", texte.toUtf8().constData());
    std::fflush(stdout);
}
