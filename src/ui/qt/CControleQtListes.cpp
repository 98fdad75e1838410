// CControleQt: the list controls (list box, drop-down list, report list view).

#include "ui/qt/CControleQt.h"

#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

#include "ui/qt/CFenetreQt.h"

namespace {

Qt::Alignment VersAlignement(tAlignement a)
{
    switch (a) {
    case tAlignement::Centre: return Qt::AlignHCenter | Qt::AlignVCenter;
    case tAlignement::Droite: return Qt::AlignRight | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

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
    if (auto* l = Liste()) {
        l->insertItem(index, VersQString(texte));
        l->item(index)->setToolTip(VersQString(texte));  // the whole name where it is shortened
    }
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
    CVueListe* v = Vue();
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
    if (colonne == 0) v->SetLargeurNom(largeurs[0]);
    else v->AjusterNom();
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
    item->setToolTip(0, VersQString(texte));
    for (int i = 0; i < v->columnCount(); ++i) item->setTextAlignment(i, m_alignements[static_cast<size_t>(i)]);
    QSignalBlocker bloque(v);
    // A log follows its last line while the user has not scrolled away from it.
    const QScrollBar* barre = v->verticalScrollBar();
    const bool bSuivre = (m_modele.nStyles & STYLE_JOURNAL) && barre->value() >= barre->maximum();
    v->insertTopLevelItem(ligne, item);
    if (bSuivre) v->scrollToBottom();
    return ligne;
}

bool CControleQt::SetItemText(int ligne, int colonne, const CString& texte)
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0 || ligne >= v->topLevelItemCount() || colonne < 0 || colonne >= v->columnCount())
        return false;
    v->topLevelItem(ligne)->setText(colonne, VersQString(texte));
    if (colonne == 0) v->topLevelItem(ligne)->setToolTip(0, VersQString(texte));
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

void CControleQt::SetItemData(int ligne, uint64_t nDonnee)
{
    QTreeWidget* v = Vue();
    if (v && ligne >= 0 && ligne < v->topLevelItemCount())
        v->topLevelItem(ligne)->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(nDonnee));
}

uint64_t CControleQt::GetItemData(int ligne) const
{
    QTreeWidget* v = Vue();
    if (!v || ligne < 0 || ligne >= v->topLevelItemCount()) return 0;
    return v->topLevelItem(ligne)->data(0, Qt::UserRole).toULongLong();
}

void CControleQt::SetIndicateurTri(int colonne, bool bAscendant)
{
    QTreeWidget* v = Vue();
    if (!v) return;
    // The view sorts nothing itself (sorting is off): the arrow only shows.
    v->header()->setSortIndicatorShown(colonne >= 0);
    v->header()->setSortIndicator(colonne, bAscendant ? Qt::AscendingOrder : Qt::DescendingOrder);
}

int CControleQt::GetIndicateurTri(bool* pbAscendant) const
{
    QTreeWidget* v = Vue();
    if (!v || !v->header()->isSortIndicatorShown()) return -1;
    if (pbAscendant) *pbAscendant = v->header()->sortIndicatorOrder() == Qt::AscendingOrder;
    return v->header()->sortIndicatorSection();
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
