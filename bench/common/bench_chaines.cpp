// CChaineUTF8 encoding and decoding against a plain glibc iconv conversion of
// the same texts. Ends with one line per case: CChaineUTF8 time / iconv time.

#include <benchmark/benchmark.h>

#include <iconv.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/CChaineUTF8.h"
#include "common/Conversions.h"

namespace {

// Two texts of each size that differ, so every encoding round is a real one
// (the class keeps the last form while the text is unchanged).
struct tTextes
{
    std::wstring a, b;
    std::string utf8a, utf8b;
};

tTextes Fabriquer(size_t octetsVises)
{
    const std::wstring motif = L"Mesure_\u00e9t\u00e9_\u20ac_0042_fibre-A/";
    tTextes t;
    while (WideToUtf8(t.a).size() + WideToUtf8(motif).size() <= octetsVises) t.a += motif;
    while (WideToUtf8(t.a).size() < octetsVises) t.a += L'x';
    t.b = t.a;
    t.b[0] = L'N';
    t.utf8a = WideToUtf8(t.a);
    t.utf8b = WideToUtf8(t.b);
    return t;
}

const tTextes& Court()
{
    // 19 characters: the most the object keeps without a heap block.
    static const tTextes t = [] {
        tTextes c;
        c.a = L"Trace_\u00e9t\u00e9_0042.sor";
        c.b = L"Trace_\u00e9t\u00e9_0043.sor";
        c.utf8a = WideToUtf8(c.a);
        c.utf8b = WideToUtf8(c.b);
        return c;
    }();
    return t;
}

const tTextes& Long()
{
    static const tTextes t = Fabriquer(4096);
    return t;
}

const tTextes& Textes(int64_t taille) { return taille == 0 ? Court() : Long(); }

class CIconv
{
public:
    CIconv(const char* vers, const char* depuis) : m_cd(iconv_open(vers, depuis))
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
    }
    ~CIconv() { iconv_close(m_cd); }
    size_t Convertir(const void* entree, size_t octets, char* sortie, size_t place)
    {
        char* in = const_cast<char*>(static_cast<const char*>(entree));
        char* out = sortie;
        iconv(m_cd, &in, &octets, &out, &place);
        return static_cast<size_t>(out - sortie);
    }

private:
    iconv_t m_cd;
};

void Utf8Encodage(benchmark::State& state)
{
    const tTextes& t = Textes(state.range(0));
    CChaineUTF8 s;
    bool bascule = false;
    for (auto _ : state) {
        s.Affecter((bascule ? t.b : t.a).c_str());
        bascule = !bascule;
        benchmark::DoNotOptimize(s.GetChaine());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.utf8a.size()));
}

void IconvEncodage(benchmark::State& state)
{
    const tTextes& t = Textes(state.range(0));
    CIconv cd("UTF-8", "WCHAR_T");
    std::vector<char> sortie(t.utf8a.size() * 2 + 16);
    bool bascule = false;
    for (auto _ : state) {
        const std::wstring& texte = bascule ? t.b : t.a;
        bascule = !bascule;
        size_t n = cd.Convertir(texte.data(), texte.size() * sizeof(wchar_t), sortie.data(), sortie.size());
        sortie[n] = 0;
        benchmark::DoNotOptimize(sortie.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.utf8a.size()));
}

void Utf8Decodage(benchmark::State& state)
{
    const tTextes& t = Textes(state.range(0));
    CChaineUTF8 s;
    bool bascule = false;
    for (auto _ : state) {
        s.SetChaine((bascule ? t.utf8b : t.utf8a).c_str());
        bascule = !bascule;
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.utf8a.size()));
}

void IconvDecodage(benchmark::State& state)
{
    const tTextes& t = Textes(state.range(0));
    CIconv cd("WCHAR_T", "UTF-8");
    std::vector<wchar_t> sortie(t.utf8a.size() + 16);
    bool bascule = false;
    for (auto _ : state) {
        const std::string& octets = bascule ? t.utf8b : t.utf8a;
        bascule = !bascule;
        size_t n = cd.Convertir(octets.data(), octets.size(), reinterpret_cast<char*>(sortie.data()),
                                sortie.size() * sizeof(wchar_t));
        sortie[n / sizeof(wchar_t)] = 0;
        benchmark::DoNotOptimize(sortie.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(t.utf8a.size()));
}

// Argument 0: the short text (19 characters); 1: the 4 KiB text.
BENCHMARK(Utf8Encodage)->Arg(0)->Arg(1);
BENCHMARK(IconvEncodage)->Arg(0)->Arg(1);
BENCHMARK(Utf8Decodage)->Arg(0)->Arg(1);
BENCHMARK(IconvDecodage)->Arg(0)->Arg(1);

// Console output as usual, plus the time per iteration of each run kept for the ratios.
class CRapporteur : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) m_temps[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> m_temps;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CRapporteur rapport;
    benchmark::RunSpecifiedBenchmarks(&rapport);
    benchmark::Shutdown();

    std::printf("\nCChaineUTF8 / iconv (time ratio, below 1 means CChaineUTF8 is faster):\n");
    for (const char* sens : {"Encodage", "Decodage"}) {
        for (const char* taille : {"0", "1"}) {
            const std::string nous = std::string("Utf8") + sens + "/" + taille;
            const std::string eux = std::string("Iconv") + sens + "/" + taille;
            auto a = rapport.m_temps.find(nous), b = rapport.m_temps.find(eux);
            if (a == rapport.m_temps.end() || b == rapport.m_temps.end() || b->second <= 0) continue;
            std::printf("  %-8s %-13s %.2f\n", sens, taille[0] == '0' ? "19 chars" : "4 KiB", a->second / b->second);
        }
    }
    return 0;
}
