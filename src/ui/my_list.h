// CMyList: a doubly linked list of owned records with a count; the release
// callback, when set, sees each record before it is freed.
#pragma once

#include <cstddef>
#include <functional>
#include <utility>

namespace tolvane::ui {

template <typename T>
class CMyList {
 public:
  CMyList() = default;
  CMyList(const CMyList&) = delete;
  CMyList& operator=(const CMyList&) = delete;
  ~CMyList() { Clear(); }

  void SetReleaseCallback(std::function<void(T&)> cb) { release_ = std::move(cb); }

  void AddTail(T data) {
    Node* n = new Node{std::move(data), nullptr, tail_};
    if (tail_) tail_->next = n; else head_ = n;
    tail_ = n;
    ++count_;
  }
  // Removes the record at `pos`; false when there is none.
  bool RemoveAt(size_t pos) {
    Node* n = NodeAt(pos);
    if (!n) return false;
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    Free(n);
    --count_;
    return true;
  }
  void Clear() {
    while (head_) {
      Node* next = head_->next;
      Free(head_);
      head_ = next;
    }
    tail_ = nullptr;
    count_ = 0;
  }
  size_t Count() const { return count_; }
  // The record at `pos`, or null.
  T* At(size_t pos) {
    Node* n = NodeAt(pos);
    return n ? &n->data : nullptr;
  }
  const T* At(size_t pos) const { return const_cast<CMyList*>(this)->At(pos); }

  template <typename F>
  void ForEach(F&& f) const {
    for (Node* n = head_; n; n = n->next) f(n->data);
  }

 private:
  struct Node {
    T data;
    Node* next;
    Node* prev;
  };
  Node* NodeAt(size_t pos) const {
    if (pos >= count_) return nullptr;
    Node* n = head_;
    while (pos-- && n) n = n->next;
    return n;
  }
  void Free(Node* n) {
    if (release_) release_(n->data);
    delete n;
  }

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  size_t count_ = 0;
  std::function<void(T&)> release_;
};

}  // namespace tolvane::ui
