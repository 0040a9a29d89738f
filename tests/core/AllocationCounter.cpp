#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool counting = false;
thread_local std::size_t allocationCount = 0;
thread_local std::size_t largestRequest = 0;

void* allocate(std::size_t size) {
    if (counting) {
        ++allocationCount;
        if (size > largestRequest)
            largestRequest = size;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
// The standard library also asks for memory through the non-throwing forms
// (std::stable_sort's temporary buffer does), and frees it through the plain
// delete above, so they must come from the same allocator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kova::test {

AllocationScope::AllocationScope() {
    allocationCount = 0;
    largestRequest = 0;
    counting = true;
}

AllocationScope::~AllocationScope() {
    counting = false;
}

std::size_t AllocationScope::Count() const {
    return allocationCount;
}

std::size_t AllocationScope::LargestRequest() const {
    return largestRequest;
}

} // namespace kova::test
