// Sorting the transfer dialog's file table: 10,000 rows by each column, with
// the merge sort on extracted keys (TriListe) and, beside it, the row-by-row
// insertion pass that re-reads the cells at every comparison. The third
// series is the dialog's own TrierListe on the in-memory list view (reading
// and rewriting the cells through the control layer).

#include <benchmark/benchmark.h>

#include <random>

#include "TriInsertion.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/Controles.h"
#include "ui/IdsControles.h"
#include "ui/TextesTransfert.h"
#include "ui/TriListe.h"

namespace {

std::vector<tLigneListe> Lignes(int n)
{
    std::mt19937_64 alea(42);
    std::vector<tLigneListe> v(static_cast<size_t>(n));
    for (auto& l : v) {
        CString nom;
        nom.Format(L"trace_%06d.sor", static_cast<int>(alea() % 1000000));
        l.m_astrTextes[0] = nom;
        l.m_nTaille = alea() % (1ull << (alea() % 34));
        l.m_astrTextes[1] = TextesTransfert::TexteTaille(l.m_nTaille);
        l.m_astrTextes[2] = TextesTransfert::TexteDate(static_cast<std::time_t>(1500000000 + alea() % 300000000));
    }
    return v;
}

const std::vector<tLigneListe>& Donnees()
{
    static const std::vector<tLigneListe> v = Lignes(10000);
    return v;
}

void BM_TriRapide(benchmark::State& state)
{
    const int col = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto v = Donnees();
        state.ResumeTiming();
        TriListe::TrierLignes(v, col, true);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetLabel(col == 0 ? "name" : col == 1 ? "size" : "date");
}

void BM_TriInsertion(benchmark::State& state)
{
    const int col = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto v = Donnees();
        state.ResumeTiming();
        TrierParInsertion(v, col, true);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetLabel(col == 0 ? "name" : col == 1 ? "size" : "date");
}

// The dialog's sort on its list view, through the headless front end.
void BM_TrierListeDialogue(benchmark::State& state)
{
    const int col = static_cast<int>(state.range(0));
    CDlgFileTransfert dlg;
    if (!dlg.Create()) {
        state.SkipWithError("no window");
        return;
    }
    IControle* table = dlg.GetDlgItem(IdsControles::IDC_FICHIERS_LOCAUX);
    for (auto _ : state) {
        state.PauseTiming();
        table->DeleteAllItems();
        for (const auto& l : Donnees()) {
            const int i = table->InsertItem(table->GetItemCount(), l.m_astrTextes[0]);
            table->SetItemText(i, 1, l.m_astrTextes[1]);
            table->SetItemText(i, 2, l.m_astrTextes[2]);
        }
        state.ResumeTiming();
        dlg.TrierListe(col, table);
    }
    dlg.DestroyWindow();
    state.SetLabel(col == 0 ? "name" : col == 1 ? "size" : "date");
}

} // namespace

BENCHMARK(BM_TriRapide)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrierListeDialogue)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriInsertion)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
