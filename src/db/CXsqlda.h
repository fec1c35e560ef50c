#pragma once

#include <ibase.h>
#include <memory>
#include <vector>

// An output or input descriptor block (XSQLDA) of a chosen capacity, freed
// when it goes out of scope.
class CXsqlda
{
public:
    explicit CXsqlda(int capacity);

    XSQLDA* Get() { return m_pData.get(); }
    XSQLDA* operator->() { return m_pData.get(); }
    XSQLVAR& Var(int i) { return m_pData->sqlvar[i]; }
    const XSQLVAR& Var(int i) const { return m_pData->sqlvar[i]; }
    int Capacity() const { return m_pData->sqln; }
    int Described() const { return m_pData->sqld; }
    // Makes room for `capacity` entries; the contents are lost.
    void Grow(int capacity);

private:
    struct SFree
    {
        void operator()(XSQLDA* p) const { ::operator delete(p); }
    };
    std::unique_ptr<XSQLDA, SFree> m_pData;
};

// The storage a fetch writes into: one data slot and one null indicator per
// column, sized for the described statement.
class CRowArea
{
public:
    // Lays out slots for the first `count` entries of the descriptor and
    // points their sqldata and sqlind into this area.
    void Bind(XSQLDA* descriptor, int count);

private:
    std::vector<char> m_area;
};
