#include "PointerList.h"

#include <cstddef>

using std::size_t;

namespace corvel {

void* PointerList::at(int index) const {
    return index >= 0 && index < count() ? items_[static_cast<size_t>(index)] : nullptr;
}

int PointerList::add(void* item, int position) {
    if (indexOf(item) >= 0) return -1;
    items_.push_back(item);
    if (position >= 0 && position < count() - 1) move(count() - 1, position);
    return 1;
}

int PointerList::indexOf(const void* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] == item) return static_cast<int>(i);
    }
    return -1;
}

bool PointerList::move(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count()) return false;
    void* item = items_[static_cast<size_t>(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, item);
    return true;
}

int PointerList::remove(const void* item) {
    const int at = indexOf(item);
    if (at < 0) return -1;
    items_.erase(items_.begin() + at);
    return 1;
}

}  // namespace corvel
