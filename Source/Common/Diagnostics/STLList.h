// CSTLList<T>: the library's ordered list, a growable array of T. It keeps the
// order of insertion; removing an element moves the later ones down by one. Its
// virtual destructor is its only virtual operation. Indices are longs; the
// reading accessors expect a valid index (0 to GetCount() - 1), the changing
// operations ignore an index outside the list. Copies hold copies of the
// elements. Not safe for concurrent use of one list.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

template <class T>
class CSTLList
{
public:
    CSTLList() = default;
    CSTLList(const CSTLList& other) = default;
    CSTLList& operator=(const CSTLList& other) = default;
    virtual ~CSTLList() = default;

    long GetCount() const { return static_cast<long>(m_elements.size()); }
    bool IsEmpty() const { return m_elements.empty(); }
    bool IsValidIndex(long lIndex) const { return lIndex >= 0 && lIndex < GetCount(); }

    T& operator[](long lIndex) { return m_elements[static_cast<std::size_t>(lIndex)]; }
    const T& operator[](long lIndex) const { return m_elements[static_cast<std::size_t>(lIndex)]; }

    // Appends; returns the new element's index.
    long Add(const T& element)
    {
        m_elements.push_back(element);
        return GetCount() - 1;
    }

    // The index of the first element equal to element, or -1.
    long Find(const T& element) const
    {
        const auto found = std::find(m_elements.begin(), m_elements.end(), element);
        return found == m_elements.end() ? -1 : static_cast<long>(found - m_elements.begin());
    }

    // Removes the element at lIndex; the later ones move down.
    void RemoveAt(long lIndex)
    {
        if (IsValidIndex(lIndex))
            m_elements.erase(m_elements.begin() + lIndex);
    }

    // Grows with value-initialised elements (null pointers, zeros) or drops the
    // last ones; a negative count empties the list.
    void SetCount(long lCount) { m_elements.resize(static_cast<std::size_t>(std::max(lCount, 0L))); }

    void RemoveAll() { m_elements.clear(); }

private:
    std::vector<T> m_elements;
};
