#include "physics/core/dgBaseNode.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgFileStream.h"
#include "physics/core/dgNameTable.h"

#include "TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Counts constructions and destructions per name, prints its name, and records clone pairs.
class CountingNode : public dgBaseNode {
public:
    struct Census {
        std::vector<std::string> m_deleted;
        dgInt32 m_live = 0;
    };

    CountingNode(Census* census, const char* name) : m_census(census) {
        SetName(name);
        m_census->m_live++;
    }
    CountingNode(const CountingNode& source) : dgBaseNode(source), m_census(source.m_census) {
        m_census->m_live++;
    }
    ~CountingNode() override {
        m_census->m_live--;
        m_census->m_deleted.push_back(Name());
    }

    CountingNode* CreateClone() const override { return new CountingNode(*this); }

    dgInt32 VisitClonePairs(dgBaseNode& clone) override {
        m_counterpart = &clone;
        return dgBaseNode::VisitClonePairs(clone) + 1;
    }

    void PrintHierarchy(dgFileStream& file, const std::string& indentation) const override {
        file.Print("%s%s\n", indentation.c_str(), Name().c_str());
        dgBaseNode::PrintHierarchy(file, indentation);
    }

    std::string Name() const { return dgNameFromId(GetNameId()); }

    dgBaseNode* m_counterpart = nullptr;

private:
    Census* m_census;
};

// A class that refuses to be cloned.
class UnclonableNode : public dgBaseNode {
public:
    dgBaseNode* CreateClone() const override { return nullptr; }
};

CountingNode* MakeChild(CountingNode::Census* census, const char* name, dgBaseNode* parent) {
    CountingNode* node = new CountingNode(census, name);
    node->Attach(parent);
    dgRefRelease(node); // the parent's reference is now the only one
    return node;
}

std::vector<std::string> PostOrder(const dgBaseNode* root) {
    std::vector<std::string> names;
    for (const dgBaseNode* node = root->GetFirst(); node != nullptr; node = node->GetNext()) {
        names.push_back(dgNameFromId(node->GetNameId()));
    }
    return names;
}

std::vector<std::string> ChildNames(const dgBaseNode* parent) {
    std::vector<std::string> names;
    for (const dgBaseNode* node = parent->GetChild(); node != nullptr; node = node->GetSibling()) {
        names.push_back(dgNameFromId(node->GetNameId()));
    }
    return names;
}

using Names = std::vector<std::string>;

} // namespace

TEST(dgBaseNode, ReleasingTheRootDeletesEveryNodeOnce) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    MakeChild(&census, "A", root);
    CountingNode* b = MakeChild(&census, "B", root);
    MakeChild(&census, "E", root);
    MakeChild(&census, "B1", b);
    EXPECT_EQ(census.m_live, 5);

    EXPECT_EQ(dgRefRelease(root), 0);
    EXPECT_EQ(census.m_live, 0);
    std::vector<std::string> deleted = census.m_deleted;
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (Names{"A", "B", "B1", "E", "root"}));
}

TEST(dgBaseNode, NodeHeldElsewhereSurvivesCutLooseWithItsChildren) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    MakeChild(&census, "A", root);
    CountingNode* b = MakeChild(&census, "B", root);
    MakeChild(&census, "E", root);
    MakeChild(&census, "B1", b);
    b->AddRef();

    dgRefRelease(root);
    EXPECT_EQ(census.m_live, 2);
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(b->GetSibling(), nullptr);
    EXPECT_FALSE(b->IsMarked());
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_EQ(ChildNames(b), (Names{"B1"}));

    dgRefRelease(b);
    EXPECT_EQ(census.m_live, 0);
}

TEST(dgBaseNode, WideAndLongChainsReleaseWithoutDeepRecursion) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    dgBaseNode* parent = root;
    for (int i = 0; i < 200000; i++) {
        CountingNode* leaf = new CountingNode(&census, "leaf");
        leaf->Attach(root, true);
        dgRefRelease(leaf);
    }
    for (int i = 0; i < 1000; i++) {
        parent = MakeChild(&census, "level", parent);
    }
    dgRefRelease(root);
    EXPECT_EQ(census.m_live, 0);
}

TEST(dgBaseNode, WalksVisitChildrenBeforeParentsAndFindGoesPastTheStart) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    CountingNode* a = MakeChild(&census, "A", root);
    CountingNode* a1 = MakeChild(&census, "A1", a);
    MakeChild(&census, "A2", a);
    CountingNode* b = MakeChild(&census, "B", root);

    EXPECT_EQ(PostOrder(root), (Names{"A1", "A2", "A", "B", "root"}));
    EXPECT_EQ(a1->GetRoot(), root);
    EXPECT_EQ(root->GetFirst(), a1);
    // GetPrev undoes GetNext, from the root back to the first node.
    Names backwards;
    for (const dgBaseNode* node = root; node != nullptr; node = node->GetPrev()) {
        backwards.push_back(dgNameFromId(node->GetNameId()));
    }
    EXPECT_EQ(backwards, (Names{"root", "B", "A", "A2", "A1"}));

    EXPECT_EQ(a->Find(dgRegisterName("B")), b);
    EXPECT_EQ(a->Find(dgRegisterName("root")), root);
    EXPECT_EQ(b->Find(dgRegisterName("A1")), nullptr); // A's subtree lies before B on the walk
    EXPECT_EQ(root->Find(dgRegisterName("no such node")), nullptr);
    dgRefRelease(root);
}

TEST(dgBaseNode, AttachPlacesFirstOrLastAndMovesAnAttachedNodeCleanly) {
    CountingNode::Census census;
    CountingNode* p = new CountingNode(&census, "P");
    CountingNode* q = new CountingNode(&census, "Q");
    MakeChild(&census, "x", p);
    CountingNode* y = MakeChild(&census, "y", p);
    MakeChild(&census, "z", p);
    CountingNode* first = new CountingNode(&census, "first");
    first->Attach(p, true);
    EXPECT_EQ(first->GetRefCount(), 2);
    dgRefRelease(first);
    EXPECT_EQ(ChildNames(p), (Names{"first", "x", "y", "z"}));

    // Moving a middle child keeps both chains whole and the reference count at one per parent.
    y->Attach(q);
    EXPECT_EQ(ChildNames(p), (Names{"first", "x", "z"}));
    EXPECT_EQ(ChildNames(q), (Names{"y"}));
    EXPECT_EQ(y->GetParent(), q);
    EXPECT_EQ(y->GetRefCount(), 1);
    // Moving the first child, and reordering within one parent.
    first->Attach(q, true);
    EXPECT_EQ(ChildNames(p), (Names{"x", "z"}));
    EXPECT_EQ(ChildNames(q), (Names{"first", "y"}));
    first->Attach(q);
    EXPECT_EQ(ChildNames(q), (Names{"y", "first"}));

    dgRefRelease(p);
    EXPECT_EQ(census.m_live, 3);
    dgRefRelease(q);
    EXPECT_EQ(census.m_live, 0);
}

TEST(dgBaseNode, DetachDropsTheParentsReference) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    MakeChild(&census, "A", root);
    CountingNode* b = MakeChild(&census, "B", root);
    CountingNode* c = MakeChild(&census, "C", root);
    c->AddRef();
    c->Detach();
    EXPECT_EQ(ChildNames(root), (Names{"A", "B"}));
    EXPECT_EQ(c->GetParent(), nullptr);
    EXPECT_EQ(c->GetRefCount(), 1);
    dgRefRelease(c);

    b->Detach(); // the last reference: deleted
    EXPECT_EQ(ChildNames(root), (Names{"A"}));
    EXPECT_EQ(census.m_live, 2);
    root->Detach(); // a root has nothing to leave
    EXPECT_EQ(root->GetRefCount(), 1);
    dgRefRelease(root);
    EXPECT_EQ(census.m_live, 0);
}

TEST(dgBaseNode, CopyIsADeepCopyWithTheSameShapeAndNames) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    CountingNode* a = MakeChild(&census, "A", root);
    MakeChild(&census, "A1", a);
    MakeChild(&census, "A2", a);
    MakeChild(&census, "B", root);
    root->ClearMark();

    CountingNode* copy = root->CreateClone();
    EXPECT_EQ(census.m_live, 10);
    EXPECT_EQ(copy->GetRefCount(), 1);
    EXPECT_TRUE(copy->IsMarked());
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_EQ(PostOrder(copy), PostOrder(root));
    for (const dgBaseNode* node = copy->GetFirst(); node != nullptr; node = node->GetNext()) {
        EXPECT_EQ(node->GetRefCount(), 1);
        EXPECT_EQ(node->GetRoot(), copy);
        for (const dgBaseNode* original = root->GetFirst(); original; original = original->GetNext()) {
            EXPECT_NE(node, original);
        }
    }

    // The clone pairs walk matches each original child with its copy.
    EXPECT_EQ(root->VisitClonePairs(*copy), 2); // B's own result plus one for the root
    EXPECT_EQ(a->m_counterpart, copy->GetChild());
    EXPECT_EQ(static_cast<CountingNode*>(a->GetChild())->m_counterpart, copy->GetChild()->GetChild());

    dgRefRelease(root);
    EXPECT_EQ(census.m_live, 5);
    dgRefRelease(copy);
    EXPECT_EQ(census.m_live, 0);
}

TEST(dgBaseNode, PlainNodesCloneAsPlainCopiesAndUnclonableChildrenAreLeftOut) {
    dgBaseNode* root = new dgBaseNode();
    root->SetName("plain root");
    dgBaseNode* child = new dgBaseNode();
    child->SetName("plain child");
    child->Attach(root);
    dgRefRelease(child);
    UnclonableNode* unclonable = new UnclonableNode();
    unclonable->Attach(root);
    dgRefRelease(unclonable);

    dgBaseNode* copy = root->CreateClone();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->IsType(dgBaseNodeClassId));
    EXPECT_TRUE(copy->IsType(dgRefClassId));
    ASSERT_NE(copy->GetChild(), nullptr);
    EXPECT_EQ(copy->GetChild()->GetNameId(), dgRegisterName("plain child"));
    EXPECT_EQ(copy->GetChild()->GetSibling(), nullptr);
    dgRefRelease(copy);
    dgRefRelease(root);
}

TEST(dgBaseNode, ClonePairsWalkStopsAtTheShorterChain) {
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    MakeChild(&census, "A", root);
    MakeChild(&census, "B", root);
    CountingNode* other = new CountingNode(&census, "other");
    MakeChild(&census, "A'", other);
    EXPECT_EQ(root->VisitClonePairs(*other), 2);
    dgRefRelease(other);
    dgRefRelease(root);
}

TEST(dgBaseNode, PrintToFileWritesEachLevelThreeSpacesDeeper) {
    TemporaryFolder folder;
    CountingNode::Census census;
    CountingNode* root = new CountingNode(&census, "root");
    CountingNode* a = MakeChild(&census, "A", root);
    MakeChild(&census, "A1", a);
    MakeChild(&census, "B", root);

    ASSERT_TRUE(root->PrintToFile("hierarchy.txt"));
    // The node printed from writes its line with the empty indentation.
    EXPECT_EQ(ReadTextFile("hierarchy.txt"), "root\n   A\n      A1\n   B\n");

    EXPECT_FALSE(root->PrintToFile("no such folder/hierarchy.txt"));
    dgRefRelease(root);
}
