// The test program's operator new, told to fail after a number of
// allocations: for proving that running out of memory leaves things as they
// were. Under AddressSanitizer, which brings its own, it is not there.
#pragma once

namespace failing_allocator {

// False where the sanitizer's allocator is in use instead.
bool Available();
// The allocation that fails: 0 is the next one; -1 lets every one succeed.
void FailAt(long allocation);

} // namespace failing_allocator
