#pragma once
// Handles that close themselves.
#include <windows.h>

#include <utility>

namespace tessory::ui {

// An open registry key, closed when the holder goes.
class UniqueHKey {
 public:
  UniqueHKey() = default;
  ~UniqueHKey() { reset(); }
  UniqueHKey(const UniqueHKey&) = delete;
  UniqueHKey& operator=(const UniqueHKey&) = delete;
  UniqueHKey(UniqueHKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  HKEY get() const { return key_; }
  HKEY* out() { reset(); return &key_; }
  void reset() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// A GDI object, deleted when the holder goes.
template <typename T>
class GdiObject {
 public:
  explicit GdiObject(T object = nullptr) : object_(object) {}
  ~GdiObject() { if (object_) DeleteObject(object_); }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  T get() const { return object_; }
  void reset(T object) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }

 private:
  T object_;
};

}  // namespace tessory::ui
