#pragma once
// One control of a Qt dialog window (see CFenetreQt.h for the widget kinds).
// Written in three files: CControleQt.cpp (creation, every control, edits,
// radio buttons), CControleQtListes.cpp, CControleQtProgression.cpp.

#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTreeWidget>

#include <functional>

#include "ui/Controles.h"

class CFenetreQt;
class QComboBox;
class QDialog;
class QLabel;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QMovie;
class QProgressBar;
class QWidget;

// A report list view: its Shift selection replaces the selection by the range
// from the anchor, as a list view does (Qt's default would add the range),
// and its first column (Name) takes whatever width the others leave, never
// less than two thirds of what it was given.
class CVueListe : public QTreeWidget
{
public:
    explicit CVueListe(QWidget* parent);
    void SetLargeurNom(int nLargeur);
    void AjusterNom();
    // Rows dragged from another table of the same window and dropped here:
    // called with that table's control id (the rows themselves stay).
    std::function<void(unsigned nIdSource)> m_depot;
    // The mime type that names the table a drag comes from.
    static const char* TypeMime() { return "application/x-otdr-table"; }

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* e) const override;
    bool viewportEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    int m_nLargeurNom = 0;
};

class CControleQt : public QObject, public IControle
{
public:
    CControleQt(CFenetreQt& fenetre, const tModeleControle& modele);
    ~CControleQt() override;

    QWidget* Widget() const { return m_pWidget; }
    const tModeleControle& Modele() const { return m_modele; }

    unsigned GetId() const override { return m_modele.nId; }
    tTypeControle GetType() const override { return m_modele.nType; }

    void EnableWindow(bool bActif) override;
    bool IsWindowEnabled() const override;
    void ShowWindow(bool bVisible) override;
    bool IsWindowVisible() const override;
    tRect GetRect() const override;
    void MoveWindow(int x, int y, int cx, int cy) override;
    CString GetWindowText() const override;
    void SetWindowText(const CString& texte) override;
    void SetFocus() override;
    void SetPartieReductible(int nDebut, int nLongueur) override;
    void UpdateWindow() override;

    void SetSel(int debut, int fin) override;

    int GetCheck() const override;
    void SetCheck(int etat) override;

    void ResetContent() override;
    int AddString(const CString& texte) override;
    int GetCount() const override;
    CString GetText(int index) const override;
    int GetCurSel() const override;
    int SetCurSel(int index) override;
    int SelectString(int apres, const CString& debut) override;

    int InsertColumn(int colonne, const CString& titre, tAlignement alignement, int largeur) override;
    int GetColumnCount() const override;
    CString GetColumnText(int colonne) const override;
    int InsertItem(int ligne, const CString& texte) override;
    bool SetItemText(int ligne, int colonne, const CString& texte) override;
    CString GetItemText(int ligne, int colonne) const override;
    int GetItemCount() const override;
    bool DeleteItem(int ligne) override;
    void DeleteAllItems() override;
    int GetNextSelected(int apres) const override;
    int GetSelectedCount() const override;
    bool IsItemSelected(int ligne) const override;
    void SetItemSelected(int ligne, bool bSelectionne) override;
    void SetItemData(int ligne, uint64_t nDonnee) override;
    uint64_t GetItemData(int ligne) const override;
    void SetIndicateurTri(int colonne, bool bAscendant) override;
    int GetIndicateurTri(bool* pbAscendant) const override;

    void SetRange(int min, int max) override;
    void SetPos(int pos) override;
    int GetPos() const override;
    int GetRangeMin() const override;
    int GetRangeMax() const override;

    bool OuvrirAnimation(unsigned idAnimation) override;
    void JouerAnimation() override;
    void ArreterAnimation() override;
    void FermerAnimation() override;
    unsigned GetAnimation() const override { return m_nIdAnimation; }
    bool AnimationEnCours() const override;

    // Stops reporting (the window is going).
    void Couper();

protected:
    bool eventFilter(QObject* objet, QEvent* e) override;

private:
    void Creer();
    void Notifier(tNotification n, int parametre = 0);
    int IndexTrie(const CString& texte) const;
    QLineEdit* Edition() const;
    bool EstListe() const;
    // The two kinds of list, made for Creer.
    QWidget* CreerListe(QDialog* parent);
    QWidget* CreerVue(QDialog* parent, unsigned styles);
    // The made widget's name, place, states and reports.
    void Installer(QWidget* w);
    // Delete and the command keys of a list, reported; true when it was one.
    bool ToucheDeListe(const QKeyEvent* k);
    QListWidget* Liste() const;
    QComboBox* Deroulante() const;
    CVueListe* Vue() const;
    QProgressBar* Barre() const;
    QLabel* Zone() const;
    // Height of a closed drop-down list, and how many entries its dropped-down
    // part shows for a template height.
    void AjusterDeroulante(int hauteurModele);

    CFenetreQt& m_fenetre;
    const tModeleControle& m_modele;
    QPointer<QWidget> m_pWidget;
    bool m_bCoupe = false;
    // Column alignments of a list view, applied to every new cell.
    std::vector<Qt::Alignment> m_alignements;
    // Animation: the clip and the buffer it reads from.
    unsigned m_nIdAnimation = 0;
    QMovie* m_pFilm = nullptr;
    QByteArray m_donneesFilm;
    QBuffer m_tamponFilm;
};

// The GIF bytes of an animation of the library, empty when there is none.
QByteArray DonneesAnimation(unsigned nIdAnimation);
