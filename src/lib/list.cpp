#include "lib/list.h"

#include <cstring>

ListNode::~ListNode() {
    if (ListGroup* owner = group()) owner->Unlink(this);
}

ListGroup::~ListGroup() { DeleteMembers(); }

ListNode* ListGroup::GetAt(std::int32_t i) const {
    const std::int32_t n = count();
    if (i < 0) {
        const std::int32_t k = ~i;  // -1 is the last member, -2 the one before it
        if (k >= n) return nullptr;
        i = n - 1 - k;
    }
    if (i >= n) return nullptr;
    ListNode* node;
    if (i <= n / 2) {
        node = head();
        for (std::int32_t step = 0; step < i; ++step) node = node->next();
    } else {
        node = tail();
        for (std::int32_t step = 0; step < n - i - 1; ++step) node = node->prev();
    }
    return node;
}

DoubleListNode::~DoubleListNode() {
    if (DoubleListGroup* owner = group()) owner->Unlink(this);
}

DoubleListGroup::~DoubleListGroup() { DeleteMembers(); }

namespace {
void* NextOf(void* record) {
    void* next;
    std::memcpy(&next, record, sizeof next);
    return next;
}
}  // namespace

void* ChainAppend(void* head, void* record) {
    if (!head) return record;
    void* last = head;
    while (void* next = NextOf(last)) last = next;
    std::memcpy(last, &record, sizeof record);
    return head;
}

void* ChainNth(void* head, std::int32_t n) {
    if (n < 0) return nullptr;
    void* record = head;
    for (std::int32_t step = 0; step < n && record; ++step) record = NextOf(record);
    return record;
}
