// Intrusive doubly linked lists whose groups own their members, and plain singly linked chains.
//
// A node carries its links and the group that holds it; a group is itself a node, so groups nest.
// Destroying a group deletes its members head first; destroying a member takes it out of its
// group first. ListNode/ListGroup and DoubleListNode/DoubleListGroup are two separate families
// with the same rules (only ListGroup has GetAt). The C* templates add no state: they only give
// the links the types of the derived node and group.
#pragma once

#include <cstdint>
#include <type_traits>

class ListGroup;
class DoubleListGroup;

template <class Node, class Group>
class ListMembers;

// The links and group pointer shared by both families. `Group` is the family's group class.
template <class Node, class Group>
class ListLinks {
public:
    ListLinks() = default;
    ListLinks(const ListLinks&) = delete;
    ListLinks& operator=(const ListLinks&) = delete;

    Node* prev() const { return prev_; }
    Node* next() const { return next_; }
    Group* group() const { return group_; }

    // Links a node that is in no group to the node that follows it in a chain, so that several
    // nodes can be inserted with one InsertChain.
    void SetChainNext(Node* next) { next_ = next; }
    // Names the group of a node that is not linked yet (a node made by its group before the
    // group inserts it). Such a node is not a member: destroying it leaves the group unchanged.
    // A node linked into a group keeps its group and the result is false.
    bool SetGroup(Group* group) {
        if (group_ && group_->Holds(static_cast<const Node*>(this))) return false;
        group_ = group;
        return true;
    }

protected:
    ~ListLinks() = default;

private:
    template <class, class>
    friend class ListMembers;
    Node* prev_ = nullptr;
    Node* next_ = nullptr;
    Group* group_ = nullptr;
};

// The member bookkeeping shared by both group kinds.
template <class Node, class Group>
class ListMembers {
public:
    Node* head() const { return head_; }
    Node* tail() const { return tail_; }
    std::int32_t count() const { return count_; }

    // True when the node is linked into this group (not merely naming it as its group).
    bool Holds(const Node* node) const {
        return node && node->group_ == self() && (node->prev_ != nullptr || head_ == node);
    }

    // Inserts a chain of free nodes (linked through next) in front of `before`, or at the tail
    // when `before` is null. Returns the chain's last node; a null chain, or a `before` that is
    // not a member, inserts nothing and gives null.
    Node* InsertChain(Node* before, Node* chain) {
        if (!chain || (before && !Holds(before))) return nullptr;
        Node* last = chain;
        if (!before) {
            if (!head_) {
                head_ = chain;
            } else {
                tail_->next_ = chain;
                chain->prev_ = tail_;
            }
            last = Adopt(chain);
            tail_ = last;
        } else {
            chain->prev_ = before->prev_;
            if (before->prev_)
                before->prev_->next_ = chain;
            else
                head_ = chain;
            last = Adopt(chain);
            last->next_ = before;
            before->prev_ = last;
        }
        return last;
    }

    // Takes a member out of the group without deleting it. A node that is not linked into this
    // group (null, another group's, or only named to this one) is refused with null.
    Node* Unlink(Node* node) {
        if (count_ == 0 || !Holds(node)) return nullptr;
        if (node->next_)
            node->next_->prev_ = node->prev_;
        else
            tail_ = node->prev_;
        if (node->prev_)
            node->prev_->next_ = node->next_;
        else
            head_ = node->next_;
        node->prev_ = nullptr;
        node->next_ = nullptr;
        node->group_ = nullptr;
        --count_;
        return node;
    }

protected:
    ListMembers() = default;
    ~ListMembers() = default;

    // Deletes the members head first, each through its virtual destructor (which unlinks it).
    void DeleteMembers() {
        while (count_ != 0) delete head_;
    }

private:
    Group* self() { return static_cast<Group*>(this); }
    const Group* self() const { return static_cast<const Group*>(this); }

    // Gives every node of the chain this group and counts it; returns the chain's last node.
    Node* Adopt(Node* chain) {
        Node* node = chain;
        for (;;) {
            node->group_ = self();
            ++count_;
            if (!node->next_) return node;
            node->next_->prev_ = node;
            node = node->next_;
        }
    }

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    std::int32_t count_ = 0;
};

class ListNode : public ListLinks<ListNode, ListGroup> {
public:
    ListNode() = default;
    virtual ~ListNode();
};

class ListGroup : public ListNode, public ListMembers<ListNode, ListGroup> {
public:
    ListGroup() = default;
    ~ListGroup() override;

    // Member i from the head, or with negative i counted from the tail (-1 is the tail); null
    // when out of range. Walks from whichever end is nearer.
    ListNode* GetAt(std::int32_t i) const;

private:
    friend class ListMembers<ListNode, ListGroup>;
};

class DoubleListNode : public ListLinks<DoubleListNode, DoubleListGroup> {
public:
    DoubleListNode() = default;
    virtual ~DoubleListNode();
};

class DoubleListGroup : public DoubleListNode, public ListMembers<DoubleListNode, DoubleListGroup> {
public:
    DoubleListGroup() = default;
    ~DoubleListGroup() override;

private:
    friend class ListMembers<DoubleListNode, DoubleListGroup>;
};

// Typed node and group of the ListNode family.
template <class NodeT, class GroupT>
class CListNode : public ListNode {
public:
    NodeT* prev() const { return static_cast<NodeT*>(ListNode::prev()); }
    NodeT* next() const { return static_cast<NodeT*>(ListNode::next()); }
    GroupT* group() const { return static_cast<GroupT*>(ListNode::group()); }
};

template <class GroupT, class NodeT, class Base = ListGroup>
class CListGroup : public Base {
public:
    NodeT* head() const { return static_cast<NodeT*>(Base::head()); }
    NodeT* tail() const { return static_cast<NodeT*>(Base::tail()); }
    NodeT* GetAt(std::int32_t i) const { return static_cast<NodeT*>(Base::GetAt(i)); }
    NodeT* InsertChain(NodeT* before, NodeT* chain) { return static_cast<NodeT*>(Base::InsertChain(before, chain)); }
    NodeT* Unlink(NodeT* node) { return static_cast<NodeT*>(Base::Unlink(node)); }
};

// Typed node and group of the DoubleListNode family.
template <class NodeT, class GroupT>
class CDoubleListNode : public DoubleListNode {
public:
    NodeT* prev() const { return static_cast<NodeT*>(DoubleListNode::prev()); }
    NodeT* next() const { return static_cast<NodeT*>(DoubleListNode::next()); }
    GroupT* group() const { return static_cast<GroupT*>(DoubleListNode::group()); }
};

template <class GroupT, class NodeT>
class CDoubleListGroup : public DoubleListGroup {
public:
    NodeT* head() const { return static_cast<NodeT*>(DoubleListGroup::head()); }
    NodeT* tail() const { return static_cast<NodeT*>(DoubleListGroup::tail()); }
    NodeT* InsertChain(NodeT* before, NodeT* chain) {
        return static_cast<NodeT*>(DoubleListGroup::InsertChain(before, chain));
    }
    NodeT* Unlink(NodeT* node) { return static_cast<NodeT*>(DoubleListGroup::Unlink(node)); }
};

// Chains: runs of records whose first field is the pointer to the next record, null at the end.

// Stores `record` as the next of the chain's last record. Returns the new head: `record` when
// `head` is null, else `head`.
void* ChainAppend(void* head, void* record);
// n = 0 gives `head` (even when null); otherwise follows next n times, null once the chain ends.
// A negative n gives null.
void* ChainNth(void* head, std::int32_t n);

template <class Record>
Record* ChainAppend(Record* head, Record* record) {
    static_assert(std::is_standard_layout_v<Record>, "a chain record starts with its next pointer");
    return static_cast<Record*>(ChainAppend(static_cast<void*>(head), static_cast<void*>(record)));
}

template <class Record>
Record* ChainNth(Record* head, std::int32_t n) {
    static_assert(std::is_standard_layout_v<Record>, "a chain record starts with its next pointer");
    return static_cast<Record*>(ChainNth(static_cast<void*>(head), n));
}
