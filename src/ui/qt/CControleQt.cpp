// CControleQt: the widget made for each kind of control, and what every
// control, the edits and the radio buttons do. The lists and the progress
// controls have files of their own (CControleQtListes.cpp,
// CControleQtProgression.cpp).

#include "ui/qt/CControleQt.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QMimeData>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTreeWidget>

#include <algorithm>

#include "ui/qt/CFenetreQt.h"

namespace {

// A push button whose caption wraps onto several lines inside the button, as a
// multi-line button of the templates does ("Create a directory" in a small button).
class CBoutonMultiligne : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QString texte = opt.text;
        opt.text.clear();
        p.drawControl(QStyle::CE_PushButton, opt);
        const int marge = style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, this) / 2 + 1;
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(rect().adjusted(marge, 1, -marge, -1), Qt::AlignCenter | Qt::TextWordWrap, texte);
    }
};

// A static text. A label one line tall keeps its text on that line, with a
// slightly smaller font when the dialog font is wider than the one the
// template was drawn for, so the end of the text is never cut off; a taller
// one wraps its words.
class CLibelle : public QLabel
{
public:
    CLibelle(const QString& texte, QWidget* parent) : QLabel(texte, parent), m_texte(texte) {}

    // The whole text, whatever is shown of it.
    const QString& Texte() const { return m_texte; }
    void DefinirTexte(const QString& texte)
    {
        m_texte = texte;
        m_nDebut = m_nLongueur = 0;
        Ajuster();
    }
    // The part that may be shortened in its middle; from then on the label
    // keeps its font (a line that changes size as it refreshes is hard to read).
    void DefinirPartieReductible(int nDebut, int nLongueur)
    {
        if (nDebut < 0 || nLongueur <= 0 || nDebut + nLongueur > m_texte.size()) return;
        m_nDebut = nDebut;
        m_nLongueur = nLongueur;
        m_bPoliceFixe = true;
        Ajuster();
    }

    void Ajuster()
    {
        const QFont base = parentWidget() ? parentWidget()->font() : QFont();
        const bool bUneLigne = height() < 2 * QFontMetrics(base).lineSpacing();
        setWordWrap(!bUneLigne);
        QFont police = base;
        QString montre = m_texte;
        if (m_bPoliceFixe) {
            if (bUneLigne) montre = Reduit(QFontMetrics(base));
        } else if (bUneLigne && width() > 0 && base.pointSizeF() > 0) {
            // Fonts snap to whole pixels: step down until the text fits.
            const double minimum = base.pointSizeF() * 0.8;
            while (QFontMetrics(police).horizontalAdvance(m_texte) > width() && police.pointSizeF() > minimum)
                police.setPointSizeF(std::max(minimum, police.pointSizeF() - 0.25));
        }
        if (police != font()) setFont(police);
        if (montre != text()) setText(montre);
        setToolTip(montre != m_texte ? m_texte : QString());
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        Ajuster();
    }

private:
    // The text with its shortenable part cut in the middle so the whole fits.
    QString Reduit(const QFontMetrics& fm) const
    {
        if (width() <= 0 || m_nLongueur == 0 || fm.horizontalAdvance(m_texte) <= width()) return m_texte;
        const QString avant = m_texte.left(m_nDebut), partie = m_texte.mid(m_nDebut, m_nLongueur),
                      apres = m_texte.mid(m_nDebut + m_nLongueur);
        const int nPlace = width() - fm.horizontalAdvance(avant) - fm.horizontalAdvance(apres);
        const int nMinimum = fm.horizontalAdvance(QStringLiteral("ab\u2026yz"));
        return avant + fm.elidedText(partie, Qt::ElideMiddle, std::max(nPlace, nMinimum)) + apres;
    }

    QString m_texte;
    int m_nDebut = 0, m_nLongueur = 0;
    bool m_bPoliceFixe = false;
};

} // namespace

// --- CVueListe

CVueListe::CVueListe(QWidget* parent) : QTreeWidget(parent)
{
    connect(header(), &QHeaderView::sectionResized, this, [this](int colonne, int, int) {
        if (colonne != 0) AjusterNom();
    });
}

QItemSelectionModel::SelectionFlags CVueListe::selectionCommand(const QModelIndex& index, const QEvent* e) const
{
    QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, e);
    if (e && selectionMode() == ExtendedSelection
        && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress)) {
        const auto mods = static_cast<const QInputEvent*>(e)->modifiers();
        if ((mods & Qt::ShiftModifier) && !(mods & Qt::ControlModifier)) flags |= QItemSelectionModel::Clear;
    }
    return flags;
}

QMimeData* CVueListe::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    QMimeData* d = QTreeWidget::mimeData(items);
    if (d) d->setData(QLatin1String(TypeMime()), objectName().toLatin1());
    return d;
}

namespace {

// The id of the other table of the same window a drag comes from, or 0.
unsigned SourceDepot(const QWidget* cible, const QMimeData* d)
{
    if (!d || !d->hasFormat(QLatin1String(CVueListe::TypeMime()))) return 0;
    const QString nom = QString::fromLatin1(d->data(QLatin1String(CVueListe::TypeMime())));
    const auto* source = cible->window()->findChild<const CVueListe*>(nom);
    return source && source != cible ? nom.toUInt() : 0;
}

} // namespace

void CVueListe::dragEnterEvent(QDragEnterEvent* e)
{
    if (m_depot && SourceDepot(this, e->mimeData())) e->acceptProposedAction();
    else e->ignore();
}

void CVueListe::dragMoveEvent(QDragMoveEvent* e)
{
    if (m_depot && SourceDepot(this, e->mimeData())) e->acceptProposedAction();
    else e->ignore();
}

void CVueListe::dropEvent(QDropEvent* e)
{
    const unsigned nSource = m_depot ? SourceDepot(this, e->mimeData()) : 0;
    if (!nSource) {
        e->ignore();
        return;
    }
    // A copy: nothing moves in either table; the dialog copies and lists again.
    e->setDropAction(Qt::CopyAction);
    e->accept();
    m_depot(nSource);
}

void CVueListe::SetLargeurNom(int nLargeur)
{
    m_nLargeurNom = nLargeur;
    AjusterNom();
}

void CVueListe::AjusterNom()
{
    if (columnCount() == 0) return;
    int autres = 0;
    for (int i = 1; i < columnCount(); ++i) autres += header()->sectionSize(i);
    // Narrower than it was given only to spare a scroll bar for a few pixels.
    const int largeur = std::max(m_nLargeurNom * 2 / 3, viewport()->width() - autres);
    if (header()->sectionSize(0) != largeur) header()->resizeSection(0, largeur);
}

void CVueListe::resizeEvent(QResizeEvent* e)
{
    QTreeWidget::resizeEvent(e);
    AjusterNom();
}

bool CVueListe::viewportEvent(QEvent* e)
{
    // The viewport narrows when a scroll bar shows, without the view resizing.
    if (e->type() == QEvent::Resize) AjusterNom();
    return QTreeWidget::viewportEvent(e);
}

// --- CControleQt

CControleQt::CControleQt(CFenetreQt& fenetre, const tModeleControle& modele)
    : m_fenetre(fenetre), m_modele(modele)
{
    Creer();
}

CControleQt::~CControleQt()
{
    Couper();
    if (m_pFilm) {
        m_pFilm->stop();
        delete m_pFilm;
    }
}

void CControleQt::Couper()
{
    m_bCoupe = true;
    if (m_pWidget) m_pWidget->removeEventFilter(this);
}

void CControleQt::Notifier(tNotification n, int parametre)
{
    if (!m_bCoupe) m_fenetre.Notifier(m_modele.nId, n, parametre);
}

QWidget* CControleQt::CreerListe(QDialog* parent)
{
    auto* l = new QListWidget(parent);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setSortingEnabled(false);  // sorted insertion is ours (same order as the logic's)
    l->setUniformItemSizes(true);
    // Long names keep both ends (a wavelength or an index is often last).
    l->setTextElideMode(Qt::ElideMiddle);
    // Only the user's choices report: the logic's changes block the signals.
    connect(l, &QListWidget::itemSelectionChanged, this, [this, l] {
        if (m_modele.nStyles & STYLE_NOTIFIANT) Notifier(tNotification::ChangementSelection, l->currentRow());
    });
    connect(l, &QListWidget::itemDoubleClicked, this, [this, l](QListWidgetItem* item) {
        if (m_modele.nStyles & STYLE_NOTIFIANT) Notifier(tNotification::DoubleClic, l->row(item));
    });
    return l;
}

QWidget* CControleQt::CreerVue(QDialog* parent, unsigned styles)
{
    auto* v = new CVueListe(parent);
    v->setRootIsDecorated(false);
    v->setItemsExpandable(false);
    v->setUniformRowHeights(true);
    v->setAllColumnsShowFocus(true);
    v->setTextElideMode(Qt::ElideMiddle);
    // Rows dragged to the other pane's table copy there.
    v->setDragEnabled(true);
    v->setAcceptDrops(true);
    v->setDragDropMode(QAbstractItemView::DragDrop);
    v->setDefaultDropAction(Qt::CopyAction);
    v->m_depot = [this](unsigned nSource) { Notifier(tNotification::Depot, static_cast<int>(nSource)); };
    v->setSortingEnabled(false);  // the dialog logic sorts on header clicks
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode((styles & STYLE_MULTISELECTION) ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
    v->setColumnCount(0);
    if (styles & STYLE_JOURNAL) {
        // A log: one column as wide as the view, nothing to drag, names kept whole at the start.
        v->setDragEnabled(false);
        v->setAcceptDrops(false);
        v->setDragDropMode(QAbstractItemView::NoDragDrop);
        v->setHeaderHidden(true);
        v->setTextElideMode(Qt::ElideRight);
    }
    v->header()->setStretchLastSection((styles & STYLE_JOURNAL) != 0);
    v->header()->setSectionsClickable(true);
    v->header()->setSectionsMovable(false);
    v->header()->setHighlightSections(false);
    connect(v->header(), &QHeaderView::sectionClicked, this,
            [this](int colonne) { Notifier(tNotification::ClicEnTete, colonne); });
    return v;
}

void CControleQt::Creer()
{
    QDialog* parent = m_fenetre.Dialog();
    const QString texte = QString::fromWCharArray(m_modele.szTexte);
    const unsigned styles = m_modele.nStyles;
    QWidget* w = nullptr;

    switch (m_modele.nType) {
    case tTypeControle::Statique: {
        auto* l = new CLibelle(texte, parent);
        l->setAlignment(Qt::AlignLeft | ((styles & STYLE_CENTRE_VERT) ? Qt::AlignVCenter : Qt::AlignTop));
        w = l;
        break;
    }
    case tTypeControle::Edition: {
        auto* e = new QLineEdit(parent);
        e->setReadOnly((styles & STYLE_LECTURE_SEULE) != 0);
        // Typing and programmatic changes alike, as an edit control reports them.
        connect(e, &QLineEdit::textChanged, this, [this] { Notifier(tNotification::ChangementTexte); });
        w = e;
        break;
    }
    case tTypeControle::Bouton: {
        QPushButton* b = (styles & STYLE_MULTILIGNE) ? new CBoutonMultiligne(texte, parent)
                                                     : new QPushButton(texte, parent);
        // Enter goes to the dialog logic; a button only becomes the default
        // when its template says so, never because it got the focus.
        b->setAutoDefault(false);
        b->setDefault((styles & STYLE_DEFAUT) != 0);
        connect(b, &QPushButton::clicked, this, [this] { Notifier(tNotification::Clic); });
        w = b;
        break;
    }
    case tTypeControle::BoutonRadio: {
        auto* r = new QRadioButton(texte, parent);
        r->setAutoExclusive(false);  // exclusivity comes from the template's groups
        connect(r, &QRadioButton::clicked, this, [this] { Notifier(tNotification::Clic); });
        w = r;
        break;
    }
    case tTypeControle::ListeSimple:
        w = CreerListe(parent);
        break;
    case tTypeControle::ListeDeroulante: {
        auto* c = new QComboBox(parent);
        c->setEditable(false);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
        connect(c, QOverload<int>::of(&QComboBox::activated), this,
                [this](int index) { Notifier(tNotification::ChangementSelection, index); });
        w = c;
        break;
    }
    case tTypeControle::VueListe:
        w = CreerVue(parent, styles);
        break;
    case tTypeControle::BarreProgression: {
        auto* b = new QProgressBar(parent);
        b->setTextVisible(false);
        b->setRange(0, 100);
        b->setValue(0);
        w = b;
        break;
    }
    case tTypeControle::Animation: {
        auto* l = new QLabel(parent);
        l->setAlignment((styles & STYLE_ANIM_CENTRE) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
        w = l;
        break;
    }
    }
    Installer(w);
}

void CControleQt::Installer(QWidget* w)
{
    m_pWidget = w;
    w->setObjectName(QString::number(m_modele.nId));
    const tUnitesBase& base = m_fenetre.Base();
    w->setGeometry(RectPixels(base, m_modele.x, m_modele.y, m_modele.cx, m_modele.cy));
    if (m_modele.nType == tTypeControle::ListeDeroulante) AjusterDeroulante(w->height());
    if (m_modele.nType == tTypeControle::Statique) static_cast<CLibelle*>(w)->Ajuster();
    w->setEnabled(m_modele.bActif);
    w->setVisible(m_modele.bVisible);
    w->installEventFilter(this);
    if (EstListe()) {
        // The right button (over the list or its rows) and the menu key.
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this] { Notifier(tNotification::MenuContextuel); });
    }
}

void CControleQt::AjusterDeroulante(int hauteurModele)
{
    // The template gives the height with the list dropped down; the closed box
    // takes the height its text needs, the rest is the list's.
    QComboBox* c = Deroulante();
    const int hauteurFermee = c->sizeHint().height();
    const int ligne = std::max(1, c->fontMetrics().height() + 2);
    c->setMaxVisibleItems(std::max(1, (hauteurModele - hauteurFermee) / ligne));
    c->resize(c->width(), hauteurFermee);
}

bool CControleQt::eventFilter(QObject* objet, QEvent* e)
{
    if (objet == m_pWidget && !m_bCoupe) {
        if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
            // A drop-down opening its popup does not move the focus away.
            if (static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) {
                if (e->type() == QEvent::FocusIn) m_fenetre.FocusPris();
                Notifier(e->type() == QEvent::FocusIn ? tNotification::PriseFocus : tNotification::PerteFocus);
            }
        } else if (e->type() == QEvent::KeyPress && EstListe()) {
            if (ToucheDeListe(static_cast<QKeyEvent*>(e))) return true;
        }
    }
    return QObject::eventFilter(objet, e);
}

bool CControleQt::EstListe() const
{
    return m_modele.nType == tTypeControle::ListeSimple || m_modele.nType == tTypeControle::VueListe;
}

bool CControleQt::ToucheDeListe(const QKeyEvent* k)
{
    if (k->matches(QKeySequence::Copy)) {
        Notifier(tNotification::Touche, static_cast<int>(tTouche::Copier));
        return true;
    }
    if (k->modifiers() & ~Qt::KeypadModifier)
        return false;
    tTouche touche{};
    switch (k->key()) {
    case Qt::Key_Delete: Notifier(tNotification::ToucheSuppr); return true;
    case Qt::Key_F2: touche = tTouche::F2; break;
    case Qt::Key_F5: touche = tTouche::F5; break;
    case Qt::Key_F7: touche = tTouche::F7; break;
    case Qt::Key_F8: touche = tTouche::F8; break;
    case Qt::Key_Backspace: touche = tTouche::RetourArriere; break;
    default: return false;
    }
    Notifier(tNotification::Touche, static_cast<int>(touche));
    return true;
}

QLineEdit* CControleQt::Edition() const { return qobject_cast<QLineEdit*>(m_pWidget.data()); }
QListWidget* CControleQt::Liste() const { return qobject_cast<QListWidget*>(m_pWidget.data()); }
QComboBox* CControleQt::Deroulante() const { return qobject_cast<QComboBox*>(m_pWidget.data()); }
CVueListe* CControleQt::Vue() const
{
    return m_modele.nType == tTypeControle::VueListe ? static_cast<CVueListe*>(m_pWidget.data()) : nullptr;
}
QProgressBar* CControleQt::Barre() const { return qobject_cast<QProgressBar*>(m_pWidget.data()); }
QLabel* CControleQt::Zone() const
{
    return m_modele.nType == tTypeControle::Animation ? qobject_cast<QLabel*>(m_pWidget.data()) : nullptr;
}

// --- every control

void CControleQt::EnableWindow(bool bActif)
{
    if (!m_pWidget) return;
    // Qt would pass the focus on to the next control; the dialog keeps it.
    if (!bActif) m_fenetre.AvantRetrait(*this);
    m_pWidget->setEnabled(bActif);
    if (bActif) m_fenetre.ApresRetour(*this);
}

bool CControleQt::IsWindowEnabled() const
{
    return m_pWidget && !m_pWidget->testAttribute(Qt::WA_ForceDisabled);
}

void CControleQt::ShowWindow(bool bVisible)
{
    if (!m_pWidget) return;
    if (!bVisible) m_fenetre.AvantRetrait(*this);
    m_pWidget->setVisible(bVisible);
    if (bVisible) m_fenetre.ApresRetour(*this);
}

bool CControleQt::IsWindowVisible() const
{
    return m_pWidget && !m_pWidget->isHidden();
}

tRect CControleQt::GetRect() const
{
    if (!m_pWidget) return {};
    const QRect g = m_pWidget->geometry();
    return tRect{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

void CControleQt::MoveWindow(int x, int y, int cx, int cy)
{
    if (!m_pWidget) return;
    // A drop-down list keeps the closed height its text needs.
    if (m_modele.nType == tTypeControle::ListeDeroulante) cy = m_pWidget->height();
    m_pWidget->setGeometry(x, y, std::max(0, cx), std::max(0, cy));
    m_pWidget->update();
}

CString CControleQt::GetWindowText() const
{
    if (!m_pWidget) return {};
    if (auto* e = Edition()) return DepuisQString(e->text());
    if (auto* b = qobject_cast<QAbstractButton*>(m_pWidget.data())) return DepuisQString(b->text());
    if (auto* c = Deroulante()) return DepuisQString(c->currentText());
    if (m_modele.nType == tTypeControle::Statique)
        return DepuisQString(static_cast<CLibelle*>(m_pWidget.data())->Texte());
    return {};
}

void CControleQt::SetWindowText(const CString& texte)
{
    if (!m_pWidget) return;
    const QString t = VersQString(texte);
    if (auto* e = Edition()) {
        // Setting the same text reports a change too, as the logic expects.
        const bool bMeme = e->text() == t;
        e->setText(t);
        if (bMeme) Notifier(tNotification::ChangementTexte);
    } else if (auto* b = qobject_cast<QAbstractButton*>(m_pWidget.data())) {
        b->setText(t);
    } else if (m_modele.nType == tTypeControle::Statique) {
        static_cast<CLibelle*>(m_pWidget.data())->DefinirTexte(t);
    }
}

void CControleQt::SetPartieReductible(int nDebut, int nLongueur)
{
    if (m_pWidget && m_modele.nType == tTypeControle::Statique)
        static_cast<CLibelle*>(m_pWidget.data())->DefinirPartieReductible(nDebut, nLongueur);
}

void CControleQt::SetFocus()
{
    if (!m_pWidget) return;
    QWidget* fenetre = m_pWidget->window();
    if (fenetre->isActiveWindow()) {
        m_pWidget->setFocus(Qt::OtherFocusReason);  // the focus events report it
        return;
    }
    // An inactive window gets no focus events: report the move ourselves.
    IControle* ancien = m_fenetre.GetFocus();
    m_pWidget->setFocus(Qt::OtherFocusReason);
    if (ancien == this) return;
    if (ancien) m_fenetre.Notifier(ancien->GetId(), tNotification::PerteFocus, 0);
    Notifier(tNotification::PriseFocus);
}

void CControleQt::UpdateWindow()
{
    if (m_pWidget && m_pWidget->isVisible()) m_pWidget->repaint();
}

// --- edit

void CControleQt::SetSel(int debut, int fin)
{
    QLineEdit* e = Edition();
    if (!e) return;
    const int n = static_cast<int>(e->text().size());
    if (debut < 0 || debut > n) debut = n;
    if (fin < 0 || fin > n) fin = n;
    if (debut == fin) e->setCursorPosition(debut);
    else e->setSelection(debut, fin - debut);
}

// --- radio button

int CControleQt::GetCheck() const
{
    auto* r = qobject_cast<QRadioButton*>(m_pWidget.data());
    return r && r->isChecked() ? 1 : 0;
}

void CControleQt::SetCheck(int etat)
{
    auto* r = qobject_cast<QRadioButton*>(m_pWidget.data());
    if (!r) return;
    QButtonGroup* groupe = r->group();
    // An exclusive group refuses to uncheck its checked button; the logic may
    // want none checked.
    if (!etat && groupe && r->isChecked()) {
        groupe->setExclusive(false);
        r->setChecked(false);
        groupe->setExclusive(true);
        return;
    }
    r->setChecked(etat != 0);
}
