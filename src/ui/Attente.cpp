#include "ui/Attente.h"

#include <mutex>

namespace {
std::mutex g_mutex;
FnAfficherAttente g_fn;
} // namespace

FnAfficherAttente DefinirAfficherAttente(FnAfficherAttente fn)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_fn, fn);
    return fn;
}

void AfficherAttente(const wchar_t* texte, unsigned animation)
{
    FnAfficherAttente fn;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        fn = g_fn;
    }
    if (fn) fn(texte, animation);
}
