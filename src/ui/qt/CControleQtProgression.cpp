// CControleQt: the controls that show progress (progress bar, animation clip).

#include "ui/qt/CControleQt.h"

#include <QLabel>
#include <QMovie>
#include <QProgressBar>

#include <algorithm>

// Generated from res/make_animations.py at build time.
const unsigned char* OtdrDonneesAnimation(unsigned id, std::size_t* taille);

QByteArray DonneesAnimation(unsigned nIdAnimation)
{
    std::size_t taille = 0;
    const unsigned char* p = OtdrDonneesAnimation(nIdAnimation, &taille);
    if (!p) return {};
    return QByteArray::fromRawData(reinterpret_cast<const char*>(p), static_cast<qsizetype>(taille));
}

// --- progress bar

void CControleQt::SetRange(int min, int max)
{
    if (auto* b = Barre()) b->setRange(min, std::max(min, max));
}

void CControleQt::SetPos(int pos)
{
    if (auto* b = Barre()) b->setValue(std::clamp(pos, b->minimum(), b->maximum()));
}

int CControleQt::GetPos() const
{
    auto* b = Barre();
    return b ? b->value() : 0;
}

int CControleQt::GetRangeMin() const
{
    auto* b = Barre();
    return b ? b->minimum() : 0;
}

int CControleQt::GetRangeMax() const
{
    auto* b = Barre();
    return b ? b->maximum() : 0;
}

// --- animation

bool CControleQt::OuvrirAnimation(unsigned idAnimation)
{
    QLabel* zone = Zone();
    if (!zone) return false;
    FermerAnimation();
    m_donneesFilm = DonneesAnimation(idAnimation);
    if (m_donneesFilm.isEmpty()) return false;
    m_tamponFilm.setData(m_donneesFilm);
    m_tamponFilm.open(QIODevice::ReadOnly);
    m_pFilm = new QMovie(&m_tamponFilm, QByteArray("gif"));
    m_pFilm->setCacheMode(QMovie::CacheAll);
    if (!m_pFilm->isValid()) {
        FermerAnimation();
        return false;
    }
    m_nIdAnimation = idAnimation;
    zone->setMovie(m_pFilm);
    m_pFilm->jumpToFrame(0);
    return true;
}

void CControleQt::JouerAnimation()
{
    // The clip's own loop count (for ever) keeps it repeating.
    if (m_pFilm) m_pFilm->start();
}

void CControleQt::ArreterAnimation()
{
    if (m_pFilm) m_pFilm->stop();
}

void CControleQt::FermerAnimation()
{
    if (QLabel* zone = Zone()) zone->clear();
    if (m_pFilm) {
        m_pFilm->stop();
        delete m_pFilm;
        m_pFilm = nullptr;
    }
    m_tamponFilm.close();
    m_nIdAnimation = 0;
}

bool CControleQt::AnimationEnCours() const
{
    return m_pFilm && m_pFilm->state() == QMovie::Running;
}
