// The one sequence container: a doubly linked list of non-owned item
// pointers with one built-in cursor.
//
// Every item's position is fixed when it is added; items are never removed
// singly, the list is only emptied as a whole. GetAt walks from the cursor,
// so First followed by repeated Next, or GetAt(k) after GetAt(k - 1), costs
// one step per item.
#pragma once

#include "misc/CxDebugUtil.h"

#include <cstdint>
#include <new>

template <typename T>
class CxList {
public:
    CxList() = default;
    ~CxList() { Clear(false); }
    CxList(const CxList&) = delete;
    CxList& operator=(const CxList&) = delete;

    /// Appends an item; the new node becomes the cursor. False for none or
    /// when no node can be allocated (the list is then unchanged).
    bool Add(T* item)
    {
        if (!item)
            return false;
        Node* node = new (std::nothrow) Node{item, m_count, m_tail, nullptr};
        if (!node)
            return false;
        if (m_tail)
            m_tail->next = node;
        else
            m_head = node;
        m_tail = node;
        m_current = node;
        m_currentIndex = node->position;
        ++m_count;
        return true;
    }

    T* First()
    {
        m_currentIndex = 0;
        m_current = m_head;
        return m_head ? m_head->item : nullptr;
    }

    /// The item after the cursor; none at the end, with the cursor unchanged.
    T* Next()
    {
        if (m_count == 0 || m_currentIndex >= m_count - 1)
            return nullptr;
        return GetAt(m_currentIndex + 1);
    }

    /// Item at a position, reached by walking from the cursor; it becomes the cursor.
    T* GetAt(uint32_t position)
    {
        if (position >= m_count)
            return nullptr;
        Node* node = m_current;
        if (!node) {
            node = m_head;
        } else {
            CX_ASSERT(node->position == m_currentIndex);
        }
        while (node && node->position < position)
            node = node->next;
        while (node && node->position > position)
            node = node->prev;
        CX_ASSERT(node != nullptr && node->position == position);
        m_current = node;
        m_currentIndex = position;
        return node->item;
    }

    uint32_t Count() const { return m_count; }

    bool Contains(const T* item) const { return item && Find(item); }

    int32_t IndexOf(const T* item) const
    {
        const Node* node = Find(item);
        return node ? int32_t(node->position) : -1;
    }

    /// Moves the cursor to the first node holding exactly this pointer.
    bool SetCurrent(const T* item)
    {
        Node* node = Find(item);
        if (!node)
            return false;
        m_current = node;
        m_currentIndex = node->position;
        return true;
    }

    /// Frees every node, and each item too when asked; positions restart at 0.
    void Clear(bool freeItems)
    {
        Node* node = m_head;
        while (node) {
            Node* next = node->next;
            if (freeItems && node->item)
                delete node->item;
            delete node;
            node = next;
        }
        m_head = m_tail = m_current = nullptr;
        m_count = 0;
        m_currentIndex = 0;
    }

private:
    struct Node {
        T* item;
        uint32_t position;
        Node* prev;
        Node* next;
    };

    Node* Find(const T* item) const
    {
        if (!item)
            return nullptr;
        for (Node* node = m_head; node; node = node->next)
            if (node->item == item)
                return node;
        return nullptr;
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    Node* m_current = nullptr;
    uint32_t m_count = 0;
    uint32_t m_currentIndex = 0;
};
