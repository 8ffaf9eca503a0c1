#include "physics/collision/dgContactPoint.h"

#include "physics/core/dgMemory.h"
#include "physics/core/dgHeap.h"
#include "physics/core/dgScratchArray.h"
#include "physics/dynamics/dgBody.h"

#include <cstring>

namespace {

using dgContactHeap = dgMinHeap<dgFloat32, dgInt32>;

// Arrays up to this size are thinned in a work area on the stack; larger ones borrow engine memory.
constexpr dgInt32 kStackRecords = 256;

// Window doublings of one prune: a float window overflows to infinity after about 140 of them, so a
// pass that still removes nothing after this many is looking at coordinates that are not numbers.
constexpr dgInt32 kMaxPrunePasses = 160;

constexpr dgFloat32 kDuplicateWindow = 0.005f;
constexpr dgFloat32 kDuplicateDist2 = 2.5e-5f;
constexpr dgFloat32 kPruneTolerance = 0.01f;

// Two heaps of count entries and a removed flag per record.
class dgContactWorkArea {
public:
    explicit dgContactWorkArea(dgInt32 count)
        : m_heapBuffer(count > kStackRecords ? 2 * count : 0),
          m_flagBuffer(count > kStackRecords ? count : 0),
          m_sweep(count > kStackRecords ? m_heapBuffer.GetData() : m_sweepEntries, count),
          m_window(count > kStackRecords ? m_heapBuffer.GetData() + count : m_windowEntries, count),
          m_removed(count > kStackRecords ? m_flagBuffer.GetData() : m_removedFlags) {
        dgZeroBytes(m_removed, static_cast<std::size_t>(count));
    }

    dgContactHeap& Sweep() { return m_sweep; }
    dgContactHeap& Window() { return m_window; }
    dgUnsigned8* Removed() { return m_removed; }

private:
    dgContactHeap::Entry m_sweepEntries[kStackRecords];
    dgContactHeap::Entry m_windowEntries[kStackRecords];
    dgUnsigned8 m_removedFlags[kStackRecords];
    dgScratchArray<dgContactHeap::Entry> m_heapBuffer;
    dgScratchArray<dgUnsigned8> m_flagBuffer;
    dgContactHeap m_sweep;
    dgContactHeap m_window;
    dgUnsigned8* m_removed;
};

dgFloat32 Distance2(const dgContactPoint& a, const dgContactPoint& b) {
    const dgVector d = a.m_point.Sub(b.m_point);
    return d.DotProduct(d);
}

// One sweep along x: a record within window (in x) and squared distance dist2 of a record kept before it
// is removed, until toRemove reach 0 (a negative toRemove removes every such duplicate).
dgInt32 SweepDuplicates(dgInt32 count, const dgContactPoint* contacts, dgContactWorkArea& work,
                        dgFloat32 window, dgFloat32 dist2, dgInt32 toRemove) {
    dgContactHeap& sweep = work.Sweep();
    dgContactHeap& kept = work.Window();
    dgUnsigned8* removed = work.Removed();
    sweep.Reset();
    kept.Reset();
    for (dgInt32 i = 0; i < count; i++) {
        if (!removed[i]) {
            sweep.Push(i, contacts[i].m_point.x);
        }
    }
    while (sweep.GetCount() != 0 && toRemove != 0) {
        const dgInt32 index = sweep.GetValue(0);
        const dgFloat32 x = sweep.GetKey(0);
        sweep.Pop();
        while (kept.GetCount() != 0 && kept.GetKey(0) < x - window) {
            kept.Pop();
        }
        bool duplicate = false;
        for (dgInt32 j = 0; j < kept.GetCount(); j++) {
            if (Distance2(contacts[index], contacts[kept.GetValue(j)]) < dist2) {
                duplicate = true;
                break;
            }
        }
        if (duplicate) {
            removed[index] = 1;
            toRemove--;
        } else {
            kept.Push(index, x);
        }
    }
    return toRemove;
}

dgInt32 Compact(dgInt32 count, dgContactPoint* contacts, const dgUnsigned8* removed) {
    dgInt32 kept = 0;
    for (dgInt32 i = 0; i < count; i++) {
        if (!removed[i]) {
            if (kept != i) {
                contacts[kept] = contacts[i];
            }
            kept++;
        }
    }
    return kept;
}

} // namespace

void CompleteRecord(dgContactPoint& contact, dgBody* body0, dgBody* body1) {
    contact.m_reserved[0] = dgVector();
    contact.m_reserved[1] = dgVector();
    contact.m_body0 = body0;
    contact.m_body1 = body1;
    contact.m_collision0 = body0->m_collision;
    contact.m_collision1 = body1->m_collision;
}

dgInt32 PruneContacts(dgInt32 count, dgContactPoint* contacts, dgInt32 wanted, dgFloat32 tolerance) {
    if (wanted <= 0) {
        return 0;
    }
    if (count <= wanted) {
        return count;
    }
    dgContactWorkArea work(count);
    dgInt32 toRemove = count - wanted;
    dgFloat32 window = tolerance;
    dgFloat32 window2 = tolerance * tolerance;
    for (dgInt32 pass = 0; pass < kMaxPrunePasses && toRemove != 0; pass++) {
        toRemove = SweepDuplicates(count, contacts, work, window, window2, toRemove);
        window *= 2.0f;
        window2 = window * window;
    }
    // Only records whose coordinates never compare (not numbers) can be left over: drop them from the end.
    for (dgInt32 i = count - 1; i >= 0 && toRemove > 0; i--) {
        if (!work.Removed()[i]) {
            work.Removed()[i] = 1;
            toRemove--;
        }
    }
    return Compact(count, contacts, work.Removed());
}

dgInt32 ReduceContacts(dgInt32 count, dgContactPoint* contacts, dgInt32 wanted) {
    if (count < 9) {
        for (dgInt32 i = 0; i < count; i++) {
            for (dgInt32 j = i + 1; j < count; j++) {
                if (Distance2(contacts[i], contacts[j]) < kDuplicateDist2) {
                    contacts[j] = contacts[count - 1];
                    count--;
                    j--;
                }
            }
        }
        return count;
    }
    if (count > wanted) {
        count = PruneContacts(count, contacts, wanted, kPruneTolerance);
    }
    if (count < 2) {
        return count;
    }
    dgContactWorkArea work(count);
    SweepDuplicates(count, contacts, work, kDuplicateWindow, kDuplicateDist2, -1);
    return Compact(count, contacts, work.Removed());
}
