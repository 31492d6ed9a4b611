// Reference counting of model objects.
#include "model/SmartPtr.h"
#include "model/BaseReferable.h"
#include "model/VdxItemBase.h"
#include "model/VdxKeywords.h"
#include "model/VdxWWTsFile.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace quillon {
namespace {

// Records its final release and deletion; may hold another object.
class Tracked : public CBaseReferable {
public:
    explicit Tracked(std::vector<const char*>* log, const char* name, bool throwOnFinal = false)
        : m_log(log), m_name(name), m_throwOnFinal(throwOnFinal) {}
    ~Tracked() override { m_log->push_back(m_name); }
    void FinalRelease() override {
        ++finalReleases;
        if (m_throwOnFinal)
            throw std::runtime_error("final release failed");
    }
    CSmartPtr<Tracked> child;
    int finalReleases = 0;

private:
    std::vector<const char*>* m_log;
    const char* m_name;
    bool m_throwOnFinal;
};

TEST(SmartPtr, CountsHoldersAndDeletesWithTheLast) {
    std::vector<const char*> deleted;
    auto* object = new Tracked(&deleted, "a");
    EXPECT_EQ(object->GetRefCount(), 0);
    {
        CSmartPtr<Tracked> first(object);
        EXPECT_EQ(object->GetRefCount(), 1);
        {
            CSmartPtr<Tracked> second(first);
            CSmartPtr<Tracked> third;
            third = second;
            EXPECT_EQ(object->GetRefCount(), 3);
            third = object; // same target: nothing happens
            auto& alias = third;
            third = alias;
            EXPECT_EQ(object->GetRefCount(), 3);
        }
        EXPECT_EQ(object->GetRefCount(), 1);
        EXPECT_TRUE(deleted.empty());
    }
    EXPECT_EQ(deleted, (std::vector<const char*>{"a"}));
}

TEST(SmartPtr, MovingTransfersTheReferenceWithoutCounting) {
    std::vector<const char*> deleted;
    auto* object = new Tracked(&deleted, "a");
    CSmartPtr<Tracked> first(object);
    CSmartPtr<Tracked> second(std::move(first));
    EXPECT_EQ(object->GetRefCount(), 1);
    EXPECT_FALSE(first); // NOLINT(bugprone-use-after-move): the moved-from pointer is empty
    std::vector<CSmartPtr<Tracked>> many;
    for (int i = 0; i < 100; ++i)
        many.push_back(second); // reallocations move the holders
    EXPECT_EQ(object->GetRefCount(), 101);
    many.clear();
    second = CSmartPtr<Tracked>();
    EXPECT_EQ(deleted.size(), 1u);
}

TEST(SmartPtr, AssigningTakesTheNewReferenceBeforeReleasingTheOld) {
    std::vector<const char*> deleted;
    // The holder is the only owner of its child; assigning the child to the pointer that holds
    // the holder must not delete the child on the way.
    auto* holder = new Tracked(&deleted, "holder");
    auto* child = new Tracked(&deleted, "child");
    holder->child = child;
    CSmartPtr<Tracked> pointer(holder);
    pointer = child;
    EXPECT_EQ(deleted, (std::vector<const char*>{"holder"}));
    EXPECT_EQ(child->GetRefCount(), 1);
    EXPECT_EQ(pointer.Get(), child);
    pointer.Reset();
    EXPECT_EQ(deleted, (std::vector<const char*>{"holder", "child"}));
}

TEST(SmartPtr, FinalReleaseRunsOnceAndItsExceptionIsSwallowed) {
    std::vector<const char*> deleted;
    auto* object = new Tracked(&deleted, "a", /*throwOnFinal=*/true);
    int* finals = &object->finalReleases;
    CSmartPtr<Tracked> first(object);
    CSmartPtr<Tracked> second(object);
    first.Reset();
    EXPECT_EQ(*finals, 0);
    EXPECT_NO_THROW(second.Reset());
    EXPECT_EQ(deleted, (std::vector<const char*>{"a"}));
}

TEST(SmartPtr, ReleasingAnUnreferencedObjectLeavesItAlone) {
    std::vector<const char*> deleted;
    Tracked onStack(&deleted, "stack");
    onStack.Release(); // count 0: neither decreased nor deleted
    EXPECT_EQ(onStack.GetRefCount(), 0);
    EXPECT_EQ(onStack.finalReleases, 0);
    EXPECT_TRUE(deleted.empty());
}

TEST(SmartPtr, ACopiedObjectStartsWithNoReferences) {
    std::vector<const char*> deleted;
    CSmartPtr<Tracked> original(new Tracked(&deleted, "a"));
    CSmartPtr<Tracked> other(original);
    Tracked copy(*original);
    EXPECT_EQ(copy.GetRefCount(), 0);
    copy = *original;
    EXPECT_EQ(copy.GetRefCount(), 0);
    EXPECT_EQ(original->GetRefCount(), 2);
}

TEST(SmartPtr, AKeywordItemConvertsToItsBaseTakingItsOwnReference) {
    auto* keywords = new CVdxKeywords("law");
    CSmartPtr<CVdxKeywords> typed(keywords);
    {
        CSmartPtr<CVdxItemBase> base(typed);
        CSmartPtr<CVdxItemBase> other;
        other = CSmartPtr<CVdxItemBase>(CSmartPtr<CVdxWWTsFile>(new CVdxWWTsFile("/d/a.wwt")));
        EXPECT_EQ(keywords->GetRefCount(), 2);
        EXPECT_EQ(other->GetRefCount(), 1);
        EXPECT_EQ(base->GetXmlTag(), "Keywords");
    }
    EXPECT_EQ(keywords->GetRefCount(), 1);
    // The last reference through the base deletes the derived object (ASan checks the delete).
    CSmartPtr<CVdxItemBase> last(typed);
    typed.Reset();
    EXPECT_EQ(last->GetRefCount(), 1);
    last.Reset();
}

} // namespace
} // namespace quillon
