// The list, its items and its cursor.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/core/list.h"

namespace {

struct Counted {
    explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
    virtual ~Counted() { --*alive_; }
    int* alive_;
};

struct Plain {
    int value;
};

template <typename T>
std::vector<T*> walk(CTList<T>* list) {
    std::vector<T*> out;
    CTListIterator<T> it(list);
    for (T* p = it.GetFirst(); p; p = it.GetNext()) out.push_back(p);
    return out;
}

TEST(List, WalkInInsertionOrderAndStopAtTheEnd) {
    int alive = 0;
    CTList<Counted> list;
    Counted *a = new Counted(&alive), *b = new Counted(&alive), *c = new Counted(&alive);
    list.AddTail(a);
    list.AddTail(b);
    list.AddTail(c);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(walk(&list), (std::vector<Counted*>{a, b, c}));

    CTListIterator<Counted> it(&list);
    it.GetFirst();
    it.GetNext();
    it.GetNext();
    EXPECT_EQ(it.GetNext(), nullptr);
    EXPECT_EQ(it.GetNext(), nullptr);
    EXPECT_EQ(it.m_pCurrent->m_pPayload, c);  // the cursor stays on the last item

    CTListIterator<Counted> none(static_cast<CTList<Counted>*>(nullptr));
    EXPECT_EQ(none.GetFirst(), nullptr);
    CTList<Counted> empty;
    CTListIterator<Counted> emptyIt(&empty);
    EXPECT_EQ(emptyIt.GetFirst(), nullptr);
    EXPECT_EQ(emptyIt.GetNext(), nullptr);

    list.DeleteAll();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(List, NullPayloadEndsAWalkEarly) {
    int alive = 0;
    CTList<Counted> list;
    Counted a(&alive), b(&alive);
    list.AddTail(&a);
    list.AddTail(nullptr);
    list.AddTail(&b);
    EXPECT_EQ(walk(&list).size(), 1u);
    list.RemoveAll();
}

TEST(List, RemovingAndDroppingItemsLeavesPayloadsAlive) {
    int alive = 0;
    Counted a(&alive), b(&alive), c(&alive);
    {
        CTList<Counted> list;
        list.AddTail(&a);
        list.AddTail(&b);
        list.AddTail(&a);
        list.AddTail(&c);
        list.Remove(&a);  // only the first item that holds it
        EXPECT_EQ(walk(&list), (std::vector<Counted*>{&b, &a, &c}));
        list.Remove(&c);  // the tail: appending still works afterwards
        list.AddTail(&c);
        EXPECT_EQ(walk(&list), (std::vector<Counted*>{&b, &a, &c}));
        list.Remove(&b);  // the head
        EXPECT_EQ(walk(&list), (std::vector<Counted*>{&a, &c}));
        list.Remove(&b);  // not there: nothing happens
        EXPECT_EQ(list.GetCount(), 2u);
        list.RemoveAll();
        EXPECT_EQ(list.GetCount(), 0u);
        list.AddTail(&a);
    }  // destroyed without DeleteAll: the payload stays
    EXPECT_EQ(alive, 3);
}

TEST(List, FreeAllReleasesPlainRecords) {
    CTList<Plain> list;
    list.AddTail(new Plain{1});
    list.AddTail(new Plain{2});
    list.FreeAll();  // the leak checker of the sanitizer build sees the rest
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.m_pHead, nullptr);
}

} // namespace
