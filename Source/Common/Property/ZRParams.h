// CZRParams: an ordered list of properties, as a parameter list.
#pragma once

#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Property/ZRProperty.h"

class CFileIO;
class CZRDataStream;

// A parameter list passed by position: properties in order, index 0 first, with
// the checks its receiver makes (ExpectParameter, ExpectParameterType,
// ExpectParameterCount), which throw CZRParamsException 6001-6003 and never
// change the list. A PROPTYPE_EMPTY element is a slot that holds no parameter.
//
// Elements are copies, made by the property copy rules (type and value, never
// the format). A format therefore belongs to its index, not to a value: it is
// set through a reference or by loading a data stream, stays at its index when
// values move up or down on InsertAt and Remove, when a list is assigned over
// this one and when storage grows, and is gone when its index is removed. New
// indexes start with an empty format.
//
// Loading from a data stream checks that the remaining bytes can hold the
// stored count before the list grows, so a damaged count ends in the stream's
// exception 5000 without a large allocation. Not safe for concurrent use.
class ZR_COMMON_API CZRParams
{
    // Virtual operations are declared in their slot order.
protected:
    virtual int _GetDataFormatVersion() const;

public:
    virtual bool CanSerialize() const;
    virtual ~CZRParams();
    // Empties the list, then reads the count and that many properties as
    // CZRProperty::Read reads them. False for a null file or at the first
    // failing read; the elements read before stay. The list grows by one
    // element per element read, so it never exceeds what the file holds.
    virtual bool Read(CFileIO* file);
    // The count as 4 bytes, then each element as CZRProperty::Write writes it
    // (no format, no version). False for a null file or at the first failing write.
    virtual bool Write(CFileIO* file) const;
    // Storing: the marker 0x76 ('v'), the count as 4 bytes, then each element
    // framed with the property version: 4-byte version, type, value, format.
    // Loading: a first byte other than 0x76 is consumed and ends the load with
    // the list unchanged. Otherwise the list is resized to the stored count (a
    // negative count empties it) and each element loads in place, format
    // included. A count the remaining bytes cannot hold throws the stream's 5000
    // before the list changes; a stream that ends inside an element throws it
    // with the elements before loaded.
    virtual void Serialize(CZRDataStream& s);

    // count empty properties; a negative count gives an empty list.
    explicit CZRParams(long count = 0);
    // Copies of other's elements (type and value; formats empty).
    CZRParams(const CZRParams& other);
    // As long as other; each element takes the type and value of other's
    // element at its index and keeps its format.
    CZRParams& operator=(const CZRParams& other);

    void Add(const CZRProperty& property);
    // Before element index, 0 <= index <= count (count appends); any other
    // index does nothing.
    void InsertAt(long index, const CZRProperty& property);
    // 0 <= index < count; any other index does nothing.
    void Remove(long index);
    void RemoveAll();
    // RemoveAll.
    void Reset();
    // Exactly count elements: new ones at the end are empty, surplus ones go
    // from the end. A negative count empties the list.
    void ResizeList(long count);
    // Empty()s element index, growing the list as the non-const Get does.
    void ResetAt(long index);

    long GetCount() const;
    bool IsEmpty() const;
    // 0 <= index < count and the element is not PROPTYPE_EMPTY.
    bool DoesExist(long index) const;

    // Element index; the list first grows to index + 1 elements when it is
    // shorter. A negative index gives a scratch property outside the list,
    // emptied of its type, as a lookup miss does elsewhere in the library.
    CZRProperty& Get(long index);
    CZRProperty& operator[](long index);
    // Element index, which callers check first (GetCount, ExpectParameter...).
    // An index outside the list gives a shared PROPTYPE_EMPTY property rather
    // than touching memory outside it.
    const CZRProperty& Get(long index) const;
    const CZRProperty& operator[](long index) const;

    // Throw CZRParamsException (error class 9) when the check fails:
    // 6001 "Wrong number of parameters" when there are fewer than count
    // elements; 6002 "Parameter <index> is of wrong type" when element index
    // is not of type (an index outside the list fails too); 6003 "Parameter
    // <index> is missing" unless DoesExist(index).
    void ExpectParameterCount(long count) const;
    void ExpectParameterType(long index, ePropType type) const;
    void ExpectParameter(long index) const;

    // 256: the version of the list's elements.
    static int GetDataFormatVersion();

private:
    static constexpr int _m_nDataFormatVersion = 256;

    // Makes room for count elements; on a reallocation the elements keep their
    // formats, which the copy constructor alone would drop.
    void Reserve(std::size_t count);
    void LoadElements(CZRDataStream& s);
    bool IsIndex(long index) const;
    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;
    [[noreturn]] void ThrowIndexException(unsigned long code, unsigned long line,
                                          const char* format, long index) const;

    std::vector<CZRProperty> m_list;
};
