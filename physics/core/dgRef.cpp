#include "physics/core/dgRef.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgGlobalAllocator.h"
#include "physics/core/dgNameTable.h"

dgRef* dgRef::CreateClone() const {
    return nullptr;
}

dgUnsigned32 dgRef::GetTypeId() const {
    return dgRefClassId;
}

bool dgRef::IsType(dgUnsigned32 typeId) const {
    return typeId == dgRefClassId;
}

void dgRef::ClearMark() {
    m_ref &= ~kMark;
}

void dgRef::SetMark() {
    m_ref |= kMark;
}

void dgRef::SetName(const char* name) {
    m_nameId = dgRegisterName(name);
}

void dgRef::DeleteSelf() {
    delete this;
}

void* dgRef::operator new(std::size_t size) {
    return dgObjectMalloc(size);
}

void* dgRef::operator new(std::size_t, void* place) noexcept {
    return place;
}

void dgRef::operator delete(void* block) {
    dgObjectFree(block);
}

void dgRef::operator delete(void*, void*) noexcept {}

dgInt32 dgRefRelease(dgRef* object) {
    dgAssert(object->GetRefCount() > 0);
    object->m_ref -= dgRef::kOneReference;
    const dgInt32 count = object->GetRefCount();
    if (count == 0) {
        object->DeleteSelf();
    }
    return count;
}
