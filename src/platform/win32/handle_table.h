// Objects behind Windows handles: windows, drops and brushes each keep a table of their own.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace win32 {

// Handles count up from `first` in steps of `step` and are never reused, so a stale or made-up
// handle is recognised as invalid rather than dereferenced. Iteration is in creation order.
template <typename Object> class HandleTable {
  public:
    HandleTable(uintptr_t first, uintptr_t step) : next_(first), step_(step) {}

    template <typename Handle> Handle Add(Object object) {
        const uintptr_t handle = next_;
        next_ += step_;
        objects_.emplace(handle, std::move(object));
        return reinterpret_cast<Handle>(handle);
    }

    // Null for a handle that is not live.
    Object* Find(const void* handle) {
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return it == objects_.end() ? nullptr : &it->second;
    }

    // False for a handle that is not live.
    bool Remove(const void* handle) { return objects_.erase(reinterpret_cast<uintptr_t>(handle)); }

    size_t Size() const { return objects_.size(); }

    template <typename Handle> std::vector<Handle> Handles() const {
        std::vector<Handle> handles;
        for (const auto& entry : objects_)
            handles.push_back(reinterpret_cast<Handle>(entry.first));
        return handles;
    }

    auto begin() { return objects_.begin(); }
    auto end() { return objects_.end(); }

  private:
    std::map<uintptr_t, Object> objects_; // ordered by handle, which is creation order
    uintptr_t next_;
    uintptr_t step_;
};

} // namespace win32
