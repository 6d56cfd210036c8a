#pragma once
// Test support: this file's operator new fails once a set number of allocations have been made,
// so a test can make every allocation of an operation fail in turn.

namespace corvel::test {

// The next `allowed` allocations succeed and the one after them throws std::bad_alloc;
// a negative number lifts the limit.
void LimitAllocations(long allowed);

}  // namespace corvel::test
