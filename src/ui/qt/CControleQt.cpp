#include "ui/qt/CControleQt.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetricsF>
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

// Generated from res/make_animations.py at build time.
const unsigned char* OtdrDonneesAnimation(unsigned id, std::size_t* taille);

QByteArray DonneesAnimation(unsigned nIdAnimation)
{
    std::size_t taille = 0;
    const unsigned char* p = OtdrDonneesAnimation(nIdAnimation, &taille);
    if (!p) return {};
    return QByteArray::fromRawData(reinterpret_cast<const char*>(p), static_cast<qsizetype>(taille));
}

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

// A report list whose Shift selection replaces the selection by the range from
// the anchor, as a list view does (Qt's default would add the range).
class CVueListe : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* e) const override
    {
        QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, e);
        if (e && selectionMode() == ExtendedSelection
            && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress)) {
            const auto mods = static_cast<const QInputEvent*>(e)->modifiers();
            if ((mods & Qt::ShiftModifier) && !(mods & Qt::ControlModifier)) flags |= QItemSelectionModel::Clear;
        }
        return flags;
    }
};

// A static text. A label one line tall keeps its text on that line, with a
// slightly smaller font when the dialog font is wider than the one the
// template was drawn for, so the end of the text is never cut off; a taller
// one wraps its words.
class CLibelle : public QLabel
{
public:
    CLibelle(const QString& texte, QWidget* parent) : QLabel(texte, parent) {}

    void Ajuster()
    {
        const QFont base = parentWidget() ? parentWidget()->font() : QFont();
        const bool bUneLigne = height() < 2 * QFontMetrics(base).lineSpacing();
        setWordWrap(!bUneLigne);
        QFont police = base;
        if (bUneLigne && width() > 0 && base.pointSizeF() > 0) {
            // Fonts snap to whole pixels: step down until the text fits.
            const double minimum = base.pointSizeF() * 0.8;
            while (QFontMetrics(police).horizontalAdvance(text()) > width() && police.pointSizeF() > minimum)
                police.setPointSizeF(std::max(minimum, police.pointSizeF() - 0.25));
        }
        if (police != font()) setFont(police);
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        Ajuster();
    }
};

Qt::Alignment VersAlignement(tAlignement a)
{
    switch (a) {
    case tAlignement::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case tAlignement::Droite: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

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
    case tTypeControle::ListeSimple: {
        auto* l = new QListWidget(parent);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setSortingEnabled(false);  // sorted insertion is ours (same order as the logic's)
        l->setUniformItemSizes(true);
        // Only the user's choices report: the logic's changes block the signals.
        connect(l, &QListWidget::itemSelectionChanged, this, [this, l] {
            if (m_modele.nStyles & STYLE_NOTIFIANT) Notifier(tNotification::ChangementSelection, l->currentRow());
        });
        connect(l, &QListWidget::itemDoubleClicked, this, [this, l](QListWidgetItem* item) {
            if (m_modele.nStyles & STYLE_NOTIFIANT) Notifier(tNotification::DoubleClic, l->row(item));
        });
        w = l;
        break;
    }
    case tTypeControle::ListeDeroulante: {
        auto* c = new QComboBox(parent);
        c->setEditable(false);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
        connect(c, QOverload<int>::of(&QComboBox::activated), this,
                [this](int index) { Notifier(tNotification::ChangementSelection, index); });
        w = c;
        break;
    }
    case tTypeControle::VueListe: {
        auto* v = new CVueListe(parent);
        v->setRootIsDecorated(false);
        v->setItemsExpandable(false);
        v->setUniformRowHeights(true);
        v->setAllColumnsShowFocus(true);
        v->setSortingEnabled(false);  // the dialog logic sorts on header clicks
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setSelectionMode((styles & STYLE_MULTISELECTION) ? QAbstractItemView::ExtendedSelection
                                                             : QAbstractItemView::SingleSelection);
        v->setColumnCount(0);
        v->header()->setStretchLastSection(false);
        v->header()->setSectionsClickable(true);
        v->header()->setSectionsMovable(false);
        v->header()->setHighlightSections(false);
        connect(v->header(), &QHeaderView::sectionClicked, this,
                [this](int colonne) { Notifier(tNotification::ClicEnTete, colonne); });
        w = v;
        break;
    }
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

    m_pWidget = w;
    w->setObjectName(QString::number(m_modele.nId));
    const tUnitesBase& base = m_fenetre.Base();
    w->setGeometry(RectPixels(base, m_modele.x, m_modele.y, m_modele.cx, m_modele.cy));
    if (m_modele.nType == tTypeControle::ListeDeroulante) AjusterDeroulante(w->height());
    if (m_modele.nType == tTypeControle::Statique) static_cast<CLibelle*>(w)->Ajuster();
    w->setEnabled(m_modele.bActif);
    w->setVisible(m_modele.bVisible);
    w->installEventFilter(this);
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
            if (static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason)
                Notifier(e->type() == QEvent::FocusIn ? tNotification::PriseFocus : tNotification::PerteFocus);
        }
    }
    return QObject::eventFilter(objet, e);
}

QLineEdit* CControleQt::Edition() const { return qobject_cast<QLineEdit*>(m_pWidget.data()); }
QListWidget* CControleQt::Liste() const { return qobject_cast<QListWidget*>(m_pWidget.data()); }
QComboBox* CControleQt::Deroulante() const { return qobject_cast<QComboBox*>(m_pWidget.data()); }
QTreeWidget* CControleQt::Vue() const { return qobject_cast<QTreeWidget*>(m_pWidget.data()); }
QProgressBar* CControleQt::Barre() const { return qobject_cast<QProgressBar*>(m_pWidget.data()); }
QLabel* CControleQt::Zone() const
{
    return m_modele.nType == tTypeControle::Animation ? qobject_cast<QLabel*>(m_pWidget.data()) : nullptr;
}

// --- every control

void CControleQt::EnableWindow(bool bActif)
{
    if (m_pWidget) m_pWidget->setEnabled(bActif);
}

bool CControleQt::IsWindowEnabled() const
{
    return m_pWidget && !m_pWidget->testAttribute(Qt::WA_ForceDisabled);
}

void CControleQt::ShowWindow(bool bVisible)
{
    if (m_pWidget) m_pWidget->setVisible(bVisible);
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
        return DepuisQString(static_cast<QLabel*>(m_pWidget.data())->text());
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
        auto* l = static_cast<CLibelle*>(m_pWidget.data());
        l->setText(t);
        l->Ajuster();
    }
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

// --- list box and drop-down list

void CControleQt::ResetContent()
{
    QSignalBlocker bloque(m_pWidget);
    if (auto* l = Liste()) l->clear();
    else if (auto* c = Deroulante()) c->clear();
}

int CControleQt::IndexTrie(const CString& texte) const
{
    // After the last entry that is not greater: equal entries keep their order.
    int bas = 0, haut = GetCount();
    while (bas < haut) {
        const int milieu = (bas + haut) / 2;
        if (ComparerTexteListe(GetText(milieu), texte) <= 0) bas = milieu + 1;
        else haut = milieu;
    }
    return bas;
}

int CControleQt::AddString(const CString& texte)
{
    if (!Liste() && !Deroulante()) return -1;
    const int index = (m_modele.nStyles & STYLE_TRIE) ? IndexTrie(texte) : GetCount();
    QSignalBlocker bloque(m_pWidget);
    if (auto* l = Liste()) l->insertItem(index, VersQString(texte));
    else if (auto* c = Deroulante()) {
        const int sel = c->currentIndex();
        c->insertItem(index, VersQString(texte));
        // Inserting into an empty box must not select the entry by itself.
        c->setCurrentIndex(sel >= index ? sel + 1 : sel);
    }
    return index;
}

int CControleQt::GetCount() const
{
    if (auto* l = Liste()) return l->count();
    if (auto* c = Deroulante()) return c->count();
    return 0;
}

CString CControleQt::GetText(int index) const
{
    if (index < 0 || index >= GetCount()) return {};
    if (auto* l = Liste()) return DepuisQString(l->item(index)->text());
    if (auto* c = Deroulante()) return DepuisQString(c->itemText(index));
    return {};
}

int CControleQt::GetCurSel() const
{
    if (auto* l = Liste()) {
        const auto items = l->selectedItems();
        return items.isEmpty() ? -1 : l->row(items.first());
    }
    if (auto* c = Deroulante()) return c->currentIndex();
    return -1;
}

int CControleQt::SetCurSel(int index)
{
    if (!Liste() && !Deroulante()) return -1;
    const bool bValide = index >= 0 && index < GetCount();
    QSignalBlocker bloque(m_pWidget);
    if (auto* l = Liste()) {
        if (bValide) {
            l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
            l->scrollToItem(l->item(index));
        } else {
            l->clearSelection();
            l->setCurrentRow(-1);
        }
    } else if (auto* c = Deroulante()) {
        c->setCurrentIndex(bValide ? index : -1);
    }
    return bValide ? index : -1;
}

int CControleQt::SelectString(int apres, const CString& debut)
{
    const int n = GetCount();
    if (n == 0) return -1;
    const int depart = (apres < -1 || apres >= n) ? 0 : apres + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (depart + k) % n;
        const CString e = GetText(i);
        if (e.GetLength() >= debut.GetLength() && e.Left(debut.GetLength()).CompareNoCase(debut) == 0)
            return SetCurSel(i);
    }
    return -1;
}

// --- list view

int CControleQt::InsertColumn(int colonne, const CString& titre, tAlignement alignement, int largeur)
{
    QTreeWidget* v = Vue();
    if (!v || colonne < 0) return -1;
    const int n = v->columnCount();
    colonne = std::min(colonne, n);
    QTreeWidgetItem* entete = v->headerItem();
    // Shift the headings and widths right of the new column.
    QStringList titres;
    QList<int> largeurs;
    for (int i = 0; i < n; ++i) {
        titres << entete->text(i);
        largeurs << v->columnWidth(i);
    }
    titres.insert(colonne, VersQString(titre));
    largeurs.insert(colonne, m_fenetre.LargeurColonne(largeur));
    m_alignements.insert(m_alignements.begin() + colonne, VersAlignement(alignement));
    v->setColumnCount(n + 1);
    v->setHeaderLabels(titres);
    for (int i = 0; i <= n; ++i) {
        v->setColumnWidth(i, largeurs[i]);
        entete->setTextAlignment(i, m_alignements[static_cast<size_t>(i)]);
    }
    // Existing rows get an empty cell in the new column.
    for (int r = 0; r < v->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = v->topLevelItem(r);
        for (int i = n; i > colonne; --i) item->setText(i, item->text(i - 1));
        item->setText(colonne, QString());
        for (int i = 0; i <= n; ++i) item->setTextAlignment(i, m_alignements[static_cast<size_t>(i)]);
    }
    return colonne;
}

int CControleQt::GetColumnCount() const
{
    QTreeWidget* v = Vue();
    return v ? v->columnCount() : 0;
}

CString CControleQt::GetColumnText(int colonne) const
{
    QTreeWidget* v = Vue();
    if (!v || colonne < 0 || colonne >= v->columnCount()) return {};
    return DepuisQString(v->headerItem()->text(colonne));
}

int CControleQt::InsertItem(int ligne, const CString& texte)
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0) return -1;
    ligne = std::min(ligne, v->topLevelItemCount());
    auto* item = new QTreeWidgetItem;
    item->setText(0, VersQString(texte));
    for (int i = 0; i < v->columnCount(); ++i) item->setTextAlignment(i, m_alignements[static_cast<size_t>(i)]);
    QSignalBlocker bloque(v);
    v->insertTopLevelItem(ligne, item);
    return ligne;
}

bool CControleQt::SetItemText(int ligne, int colonne, const CString& texte)
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0 || ligne >= v->topLevelItemCount() || colonne < 0 || colonne >= v->columnCount())
        return false;
    v->topLevelItem(ligne)->setText(colonne, VersQString(texte));
    return true;
}

CString CControleQt::GetItemText(int ligne, int colonne) const
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0 || ligne >= v->topLevelItemCount() || colonne < 0 || colonne >= v->columnCount())
        return {};
    return DepuisQString(v->topLevelItem(ligne)->text(colonne));
}

int CControleQt::GetItemCount() const
{
    QTreeWidget* v = Vue();
    return v ? v->topLevelItemCount() : 0;
}

bool CControleQt::DeleteItem(int ligne)
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0 || ligne >= v->topLevelItemCount()) return false;
    QSignalBlocker bloque(v);
    delete v->takeTopLevelItem(ligne);
    return true;
}

void CControleQt::DeleteAllItems()
{
    if (QTreeWidget* v = Vue()) {
        QSignalBlocker bloque(v);
        v->clear();
    }
}

int CControleQt::GetNextSelected(int apres) const
{
    QTreeWidget* v = Vue();
    if (!v) return -1;
    for (int i = std::max(0, apres + 1); i < v->topLevelItemCount(); ++i)
        if (v->topLevelItem(i)->isSelected()) return i;
    return -1;
}

int CControleQt::GetSelectedCount() const
{
    QTreeWidget* v = Vue();
    return v ? static_cast<int>(v->selectedItems().size()) : 0;
}

bool CControleQt::IsItemSelected(int ligne) const
{
    QTreeWidget* v = Vue();
    return v && ligne >= 0 && ligne < v->topLevelItemCount() && v->topLevelItem(ligne)->isSelected();
}

void CControleQt::SetItemSelected(int ligne, bool bSelectionne)
{
    QTreeWidget* v = Vue();
    if (!v) return;
    QSignalBlocker bloque(v);
    if (ligne == -1) {
        if (bSelectionne) v->selectAll();
        else v->clearSelection();
        return;
    }
    if (ligne >= 0 && ligne < v->topLevelItemCount()) v->topLevelItem(ligne)->setSelected(bSelectionne);
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
