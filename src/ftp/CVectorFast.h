#pragma once
// Growable array that carries a remote listing to the file transfer dialog and
// to hosts. Callers read m_nNombre and m_pElements[i] directly (no bounds check).

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <class TYPE, int nTailleBloc>
class CVectorFast
{
public:
    CVectorFast() = default;
    CVectorFast(const CVectorFast&) = delete;
    CVectorFast& operator=(const CVectorFast&) = delete;
    virtual ~CVectorFast() { RemoveAll(); }

    /// Appends a copy of `element`. Capacity runs 16, 32, 48, 72, 108, 162, 243...
    /// (block size 16): below 32 elements it grows by one block, then by half the
    /// count, so reallocations grow with the logarithm of the size. When the block
    /// cannot be grown the element is dropped (nothing is written past the block).
    void Add(const TYPE& element) { Emplacer(element); }
    /// Same, moving the element in (no copy of its texts).
    void Add(TYPE&& element) { Emplacer(std::move(element)); }

    /// Destroys the elements in ascending index order and frees the block.
    void RemoveAll()
    {
        TYPE* pElements = m_pElements;
        const int nNombre = m_nNombre;
        m_nCapacite = 0;
        m_nNombre = 0;
        for (int i = 0; i < nNombre; ++i)
            pElements[i].~TYPE();
        std::free(pElements);
        m_pElements = nullptr;
    }

    /// Makes room for `nNombre` elements (at least one block); a failed
    /// reallocation leaves the array unchanged.
    void Reserve(int nNombre)
    {
        if (nNombre > m_nCapacite)
            Reallouer(nNombre > nTailleBloc ? nNombre : nTailleBloc);
    }

    int GetSize() const { return m_nNombre; }
    TYPE& operator[](int i) { return m_pElements[i]; }
    const TYPE& operator[](int i) const { return m_pElements[i]; }

    TYPE* m_pElements = nullptr;
    int m_nCapacite = 0;
    int m_nNombre = 0;

private:
    template <class ARG>
    void Emplacer(ARG&& element)
    {
        if (m_nNombre < m_nCapacite) {
            new (m_pElements + m_nNombre) TYPE(std::forward<ARG>(element));
            ++m_nNombre;
            return;
        }
        // The element may live in the block about to move: take it out first.
        TYPE copie(std::forward<ARG>(element));
        const int nPas = m_nNombre >= 2 * nTailleBloc ? m_nNombre / 2 : nTailleBloc;
        int nNouvelle = m_nNombre + nPas;
        if (nNouvelle > m_nCapacite) {
            if (nNouvelle < nTailleBloc)
                nNouvelle = nTailleBloc;
            if (!Reallouer(nNouvelle))
                return;
        }
        if (m_nNombre >= m_nCapacite)
            return;
        new (m_pElements + m_nNombre) TYPE(std::move(copie));
        ++m_nNombre;
    }

    bool Reallouer(int nCapacite)
    {
        const size_t nOctets = sizeof(TYPE) * static_cast<size_t>(nCapacite);
        if constexpr (std::is_trivially_copyable<TYPE>::value) {
            // Plain data moves with the block as raw bytes.
            void* p = std::realloc(m_pElements, nOctets);
            if (!p)
                return false;
            m_pElements = static_cast<TYPE*>(p);
        } else {
            // Strings keep pointers into themselves (short-string buffer), so a
            // raw byte move would leave them pointing into the freed block: move
            // each element into the new block instead.
            TYPE* p = static_cast<TYPE*>(std::malloc(nOctets));
            if (!p)
                return false;
            for (int i = 0; i < m_nNombre; ++i) {
                new (p + i) TYPE(std::move(m_pElements[i]));
                m_pElements[i].~TYPE();
            }
            std::free(m_pElements);
            m_pElements = p;
        }
        m_nCapacite = nCapacite;
        return true;
    }
};
