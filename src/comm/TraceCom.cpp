#include "comm/TraceCom.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace {
std::atomic<bool> g_bTraceActive{false};
std::mutex g_mutexTrace;
std::shared_ptr<const FonctionTraceCom> g_pTrace;

std::shared_ptr<const FonctionTraceCom> TraceCourante()
{
    std::lock_guard<std::mutex> verrou(g_mutexTrace);
    return g_pTrace;
}
} // namespace

void DefinirTraceCom(FonctionTraceCom fonction)
{
    std::shared_ptr<const FonctionTraceCom> nouvelle;
    if (fonction) nouvelle = std::make_shared<const FonctionTraceCom>(std::move(fonction));
    std::lock_guard<std::mutex> verrou(g_mutexTrace);
    g_pTrace = std::move(nouvelle);
    g_bTraceActive.store(static_cast<bool>(g_pTrace), std::memory_order_release);
}

bool TraceComActive() { return g_bTraceActive.load(std::memory_order_acquire); }

void TracerCom(eSensTrace sens, const std::string& texte)
{
    if (!TraceComActive()) return;
    // Called outside the lock so a trace may take its time (or set another trace).
    if (auto trace = TraceCourante()) (*trace)(sens, texte);
}
