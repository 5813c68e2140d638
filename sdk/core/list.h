// The library's one collection: a singly linked list of pointers with an
// item count, its node and a cursor held by the caller.
//
// A list owns its items, never its payloads: the owner of an owning list
// calls DeleteAll (payloads with a virtual destructor) or FreeAll (plain
// records) before deleting it; deleting a list otherwise only frees its
// items, which is how lists that merely refer to shared objects end.
//
// A walk:  CTListIterator<T> it(list);
//          for (T* p = it.GetFirst(); p; p = it.GetNext()) ...
// (a null payload ends the walk early).
#pragma once

#include <cstdint>
#include <type_traits>

template <typename T>
class CTListItem {
public:
    explicit CTListItem(T* payload) : m_pPayload(payload) {}
    virtual ~CTListItem() = default;
    CTListItem(const CTListItem&) = delete;
    CTListItem& operator=(const CTListItem&) = delete;

    // Deletes the payload through its virtual destructor.
    void DeletePayload() {
        static_assert(std::has_virtual_destructor_v<T>,
                      "DeleteAll is for payloads with a virtual destructor");
        delete m_pPayload;
        m_pPayload = nullptr;
    }

    // Releases a plain record; no destructor logic runs.
    void FreePayload() {
        static_assert(std::is_trivially_destructible_v<T>, "FreeAll is for plain records");
        delete m_pPayload;
        m_pPayload = nullptr;
    }

    T* m_pPayload;
    CTListItem* m_pNext = nullptr;
};

template <typename T>
class CTList {
public:
    CTList() = default;
    virtual ~CTList() { RemoveAll(); }
    CTList(const CTList&) = delete;
    CTList& operator=(const CTList&) = delete;

    // Appends a payload; no duplicate check. The list remembers its tail,
    // so appending does not walk the list.
    void AddTail(T* payload) {
        auto* item = new CTListItem<T>(payload);
        if (m_pTail) m_pTail->m_pNext = item;
        else m_pHead = item;
        m_pTail = item;
        ++m_dwCount;
    }

    // Frees every item; the payloads stay alive.
    void RemoveAll() {
        CTListItem<T>* item = m_pHead;
        while (item) {
            CTListItem<T>* next = item->m_pNext;
            delete item;
            item = next;
        }
        m_pHead = m_pTail = nullptr;
        m_dwCount = 0;
    }

    void DeleteAll() {
        for (CTListItem<T>* item = m_pHead; item; item = item->m_pNext) item->DeletePayload();
        RemoveAll();
    }

    void FreeAll() {
        for (CTListItem<T>* item = m_pHead; item; item = item->m_pNext) item->FreePayload();
        RemoveAll();
    }

    // Unlinks the first item that holds the payload; the payload stays.
    void Remove(T* payload) {
        CTListItem<T>* previous = nullptr;
        for (CTListItem<T>* item = m_pHead; item; previous = item, item = item->m_pNext) {
            if (item->m_pPayload != payload) continue;
            if (previous) previous->m_pNext = item->m_pNext;
            else m_pHead = item->m_pNext;
            if (m_pTail == item) m_pTail = previous;
            delete item;
            --m_dwCount;
            return;
        }
    }

    uint32_t GetCount() const { return m_dwCount; }

    CTListItem<T>* m_pHead = nullptr;
    uint32_t m_dwCount = 0;

private:
    CTListItem<T>* m_pTail = nullptr;
};

template <typename T>
class CTListIterator {
public:
    explicit CTListIterator(CTList<T>* list) : m_pList(list) {}
    explicit CTListIterator(const CTList<T>* list) : m_pList(const_cast<CTList<T>*>(list)) {}

    T* GetFirst() {
        m_pCurrent = m_pList ? m_pList->m_pHead : nullptr;
        return m_pCurrent ? m_pCurrent->m_pPayload : nullptr;
    }

    // The next payload; null after the last one, and the cursor then stays
    // on the last item.
    T* GetNext() {
        if (!m_pCurrent || !m_pCurrent->m_pNext) return nullptr;
        m_pCurrent = m_pCurrent->m_pNext;
        return m_pCurrent->m_pPayload;
    }

    CTList<T>* m_pList;
    CTListItem<T>* m_pCurrent = nullptr;
};
