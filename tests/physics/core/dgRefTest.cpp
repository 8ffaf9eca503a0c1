#include "physics/core/dgClassIds.h"
#include "physics/core/dgGlobalAllocator.h"
#include "physics/core/dgNameTable.h"
#include "physics/core/dgRef.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Counts destructions so a test can see that the last release deletes exactly once.
class CountedRef : public dgRef {
public:
    explicit CountedRef(int* destroyed) : m_destroyed(destroyed) {}
    ~CountedRef() override { (*m_destroyed)++; }

private:
    int* m_destroyed;
};

} // namespace

TEST(dgRef, ReferenceWordKeepsFlagsBelowTheCount) {
    dgRef* object = new dgRef();
    EXPECT_EQ(object->GetRefWord(), 257u);
    object->ClearMark();
    EXPECT_EQ(object->GetRefWord(), 256u);
    object->AddRef();
    EXPECT_EQ(object->GetRefWord(), 512u);
    object->SetMark();
    EXPECT_EQ(object->GetRefWord(), 513u);
    EXPECT_EQ(dgRefRelease(object), 1);
    EXPECT_EQ(object->GetRefWord(), 257u);
    EXPECT_EQ(dgRefRelease(object), 0);
}

TEST(dgRef, LastReleaseDeletesExactlyOnceWhateverTheMark) {
    for (bool marked : {true, false}) {
        int destroyed = 0;
        CountedRef* object = new CountedRef(&destroyed);
        if (!marked) {
            object->ClearMark();
        }
        object->AddRef();
        EXPECT_EQ(dgRefRelease(object), 1);
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(dgRefRelease(object), 0);
        EXPECT_EQ(destroyed, 1);
    }
}

TEST(dgRef, ObjectsLiveInAlignedCachedBlocks) {
    int destroyed = 0;
    CountedRef* object = new CountedRef(&destroyed);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(object) % 16, 0u);
    const dgInt32 cached = dgGlobalAllocator::Instance().GetCachedCount(sizeof(CountedRef));
    dgRefRelease(object);
    EXPECT_EQ(dgGlobalAllocator::Instance().GetCachedCount(sizeof(CountedRef)), cached + 1);
    // The next object of that size reuses the block.
    CountedRef* again = new CountedRef(&destroyed);
    EXPECT_EQ(dgGlobalAllocator::Instance().GetCachedCount(sizeof(CountedRef)), cached);
    dgRefRelease(again);
}

TEST(dgRef, IsTypeAnswersOnlyForItsOwnClass) {
    dgRef object;
    EXPECT_EQ(object.GetTypeId(), dgTypeIdFromName("dgRef"));
    EXPECT_TRUE(object.IsType(dgRefClassId));
    EXPECT_FALSE(object.IsType(dgTypeIdFromName("dgCollision")));
    EXPECT_EQ(object.CreateClone(), nullptr);
}

TEST(dgRef, NamesAreInternedOnce) {
    dgRef a;
    a.SetName(nullptr);
    EXPECT_EQ(a.GetNameId(), 0u);

    const dgInt32 before = dgNameTable::Instance().GetCount();
    a.SetName("a name only this test uses");
    dgRef b;
    b.SetName("a name only this test uses");
    EXPECT_EQ(a.GetNameId(), b.GetNameId());
    EXPECT_EQ(dgNameTable::Instance().GetCount(), before + 1);
    EXPECT_STREQ(dgNameFromId(a.GetNameId()), "a name only this test uses");

    const dgRef copy(a);
    EXPECT_EQ(copy.GetNameId(), a.GetNameId());
    EXPECT_EQ(copy.GetRefWord(), 257u);
}

TEST(dgRefAssign, TakesTheNewReferenceBeforeDroppingTheOld) {
    int destroyed = 0;
    dgRef* sole = new CountedRef(&destroyed);
    dgRef* slot = sole; // the slot holds the only reference
    dgRefAssign(slot, sole);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(slot->GetRefCount(), 1);

    int otherDestroyed = 0;
    dgRef* other = new CountedRef(&otherDestroyed);
    dgRefAssign(slot, other); // the slot takes a reference of its own
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(other->GetRefCount(), 2);

    dgRefAssign(slot, nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(other->GetRefCount(), 1);
    dgRefRelease(other);
    EXPECT_EQ(otherDestroyed, 1);
}
