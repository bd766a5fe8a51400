// Linked into quorlin_faults.dll only: the component's allocations, counted,
// and made to fail on purpose, so that tests can walk every allocation of a
// member and see that none of them ends the process.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};
std::atomic<long> g_failAt{0};  // the allocation number that fails; 0: none
std::atomic<bool> g_failLater{false};  // whether every one after it fails too

void* Allocate(std::size_t size) {
    const long number = ++g_allocations;
    const long failAt = g_failAt.load();
    if (failAt != 0 && (number == failAt || (g_failLater.load() && number > failAt))) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

// How many allocations the component has made since it was loaded.
extern "C" LONG WINAPI QuorlinAllocationCount() { return g_allocations.load(); }

// Makes the `nth` allocation from now fail (and with `andLater` every one
// after it); 0 lets every allocation succeed again.
extern "C" void WINAPI QuorlinFailAllocation(LONG nth, BOOL andLater) {
    g_failLater = andLater != FALSE;
    g_failAt = nth == 0 ? 0 : g_allocations.load() + nth;
}
