#pragma once
// Base of every reference-counted engine object: shapes, soups, container nodes, world members.

#include "physics/core/dgTypes.h"

#include <type_traits>

/// Reference word: flags in bits 0-7 (bit 0 the mark), count in bits 8-31. A new object holds one
/// reference (the creator's) and has its mark set: word 257. The last release destroys the object
/// through DeleteSelf. Objects made with new take their memory from dgObjectMalloc.
class dgRef {
public:
    static constexpr dgUnsigned32 kMark = 1;
    static constexpr dgUnsigned32 kOneReference = 256;

    dgRef() : m_ref(kOneReference | kMark), m_nameId(0) {}
    /// A copy starts with one reference and the mark set, and keeps the source's name.
    dgRef(const dgRef& source) : m_ref(kOneReference | kMark), m_nameId(source.m_nameId) {}
    dgRef& operator=(const dgRef&) = delete;
    virtual ~dgRef() = default;

    /// A new copy of the object, or null when the class is not clonable.
    virtual dgRef* CreateClone() const;
    virtual dgUnsigned32 GetTypeId() const;
    /// True for the id of the object's class and of each of its bases.
    virtual bool IsType(dgUnsigned32 typeId) const;
    virtual void ClearMark();
    virtual void SetMark();
    /// Names the object: its name id becomes dgRegisterName(name), 0 for null.
    virtual void SetName(const char* name);

    void AddRef() {
        dgAssert(m_ref < 0xFFFFFF00u);
        m_ref += kOneReference;
    }
    dgInt32 GetRefCount() const { return static_cast<dgInt32>(m_ref >> 8); }
    dgUnsigned32 GetRefWord() const { return m_ref; }
    bool IsMarked() const { return (m_ref & kMark) != 0; }
    dgUnsigned32 GetNameId() const { return m_nameId; }
    /// Gives the object an id of the caller's choosing, unregistered.
    void SetNameId(dgUnsigned32 nameId) { m_nameId = nameId; }

    static void* operator new(std::size_t size);
    /// Containers construct their nodes in memory of their allocator.
    static void* operator new(std::size_t size, void* place) noexcept;
    static void operator delete(void* block);
    static void operator delete(void* block, void* place) noexcept;

protected:
    /// Runs at the last release: destroys the object and gives its memory back to where it came from.
    /// The default deletes it (memory to dgObjectFree); container nodes return theirs to their owner.
    virtual void DeleteSelf();

private:
    friend dgInt32 dgRefRelease(dgRef* object);

    dgUnsigned32 m_ref;
    dgUnsigned32 m_nameId;
};

/// Drops one reference; at zero the object is deleted. Returns the new count.
dgInt32 dgRefRelease(dgRef* object);

/// Points slot at object: takes the new reference first, then drops the old one, so assigning an
/// object to the slot that holds it never frees it. Either pointer may be null.
template <class T> void dgRefAssign(T*& slot, std::type_identity_t<T>* object) {
    if (object != nullptr) {
        object->AddRef();
    }
    T* old = slot;
    slot = object;
    if (old != nullptr) {
        dgRefRelease(old);
    }
}
