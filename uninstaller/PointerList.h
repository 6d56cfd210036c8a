#pragma once
// A growable list of pointers it does not own; each pointer appears at most once.
#include <vector>

namespace corvel {

class PointerList {
public:
    int count() const { return static_cast<int>(items_.size()); }
    // nullptr when the index is out of range.
    void* at(int index) const;
    // -1 when the pointer is already listed; otherwise appended, then moved to `position`
    // when 0 <= position < count. Returns 1.
    int add(void* item, int position = -1);
    int indexOf(const void* item) const;
    // Takes the item out and reinserts it at `to`; false when either index is out of range.
    bool move(int from, int to);
    // -1 when absent, else 1.
    int remove(const void* item);

private:
    std::vector<void*> items_;
};

}  // namespace corvel
