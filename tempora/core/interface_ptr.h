#pragma once
// Holds one reference of a reference-counted interface.
#include <utility>

namespace tempora {

template <class T>
class TInterfacePtr {
 public:
  TInterfacePtr() = default;
  // Takes over a reference that the caller already holds.
  explicit TInterfacePtr(T* adopted) : p_(adopted) {}
  TInterfacePtr(const TInterfacePtr&) = delete;
  TInterfacePtr& operator=(const TInterfacePtr&) = delete;
  TInterfacePtr(TInterfacePtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  TInterfacePtr& operator=(TInterfacePtr&& other) noexcept {
    if (this != &other) {
      if (p_) p_->Release();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~TInterfacePtr() {
    if (p_) p_->Release();
  }

  static TInterfacePtr AddRefOf(T* p) {
    if (p) p->AddRef();
    return TInterfacePtr(p);
  }

  // Gives the reference up without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** out() { return &p_; }  // for out arguments; must be empty
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace tempora
