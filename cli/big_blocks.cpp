// Blocks of 1 MiB and more (the image and its copies) on transparent huge
// pages.  A short command otherwise spends most of its time faulting in a
// 2 MiB image one 4 KiB page at a time; this takes a quarter off the whole
// batch of bench engine.  Smaller blocks stay with malloc.  The commands over
// collections allocate from several threads: a slot of the table is claimed
// by an atomic exchange and published when its mapping is set.
// Built only without sanitizers (they bring their own operator new).
#ifdef DW_CLI_BIG_BLOCKS
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
constexpr size_t bigBlock = size_t(1) << 20;
constexpr size_t hugePage = size_t(2) << 20;

// Block is nullptr (free), claimed (being set up), or what operator new
// returned; Base and Length are read only by the thread deleting Block.
void *const claimed = reinterpret_cast<void *>(1);
struct BigBlock {
    std::atomic<void *> Block{nullptr};
    void *Base = nullptr;    // the mapping
    size_t Length = 0;
};
BigBlock bigBlocks[32];
std::atomic<int> bigInUse{0};

// A 2 MiB-aligned mapping marked for huge pages; nullptr when there is none.
void *bigNew(size_t size) {
    BigBlock *slot = nullptr;
    for (BigBlock &b : bigBlocks) {
        void *expected = nullptr;
        if (b.Block.compare_exchange_strong(expected, claimed, std::memory_order_acquire)) {
            slot = &b;
            break;
        }
    }
    if (!slot) return nullptr;
    size_t length = size + hugePage;
    void *base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        slot->Block.store(nullptr, std::memory_order_release);
        return nullptr;
    }
    uintptr_t aligned = (uintptr_t(base) + hugePage - 1) & ~uintptr_t(hugePage - 1);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    slot->Base = base;
    slot->Length = length;
    bigInUse.fetch_add(1, std::memory_order_relaxed);
    slot->Block.store(reinterpret_cast<void *>(aligned), std::memory_order_release);
    return reinterpret_cast<void *>(aligned);
}
}   // namespace

void *operator new(size_t size) {
    if (size >= bigBlock)
        if (void *p = bigNew(size)) return p;
    if (void *p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept {
    if (!p) return;
    if (bigInUse.load(std::memory_order_acquire) > 0)
        for (BigBlock &b : bigBlocks)
            if (b.Block.load(std::memory_order_acquire) == p) {
                munmap(b.Base, b.Length);
                b.Base = nullptr;
                b.Length = 0;
                bigInUse.fetch_sub(1, std::memory_order_relaxed);
                b.Block.store(nullptr, std::memory_order_release);
                return;
            }
    std::free(p);
}

void operator delete(void *p, size_t) noexcept { operator delete(p); }
#endif
