#pragma once

#include <cstddef>

namespace kova::test {

// Counts calls of the global operator new while a scope is alive. The
// replacement operators live in AllocationCounter.cpp and are process-wide, so
// counting is switched on only inside this scope and only on the calling
// thread.
class AllocationScope {
public:
    AllocationScope();
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    std::size_t Count() const;
    // The largest single request seen in this scope, in bytes.
    std::size_t LargestRequest() const;
};

} // namespace kova::test
