#include "tests/common/failing_allocator.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)

namespace failing_allocator {
bool Available()
{
    return false;
}
void FailAt(long) {}
} // namespace failing_allocator

#else

namespace {

long Countdown = -1;

void* Allocate(std::size_t size)
{
    if (Countdown >= 0 && Countdown-- == 0)
        return nullptr;
    return std::malloc(size ? size : 1);
}

} // namespace

namespace failing_allocator {
bool Available()
{
    return true;
}
void FailAt(long allocation)
{
    Countdown = allocation;
}
} // namespace failing_allocator

void* operator new(std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

#endif
