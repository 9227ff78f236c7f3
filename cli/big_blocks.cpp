// Blocks of 1 MiB and more (the image and its copies) on transparent huge
// pages.  A short command otherwise spends most of its time faulting in a
// 2 MiB image one 4 KiB page at a time; this takes a quarter off the whole
// batch of bench engine.  Smaller blocks stay with malloc.  A freed big block
// keeps its mapping for the next one that fits (a command copies its image a
// few times): its pages are already there, where a new mapping would have the
// kernel clear them again.
//
// The commands over collections allocate from several threads: the table of
// big blocks changes under a mutex, and a delete finds its block by an
// atomic load of each slot without taking it (only the thread that owns a
// block deletes it, and a kept mapping's address is never malloc's).
// Built only without sanitizers (they bring their own operator new).
#ifdef DW_CLI_BIG_BLOCKS
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace {
constexpr size_t bigBlock = size_t(1) << 20;
constexpr size_t hugePage = size_t(2) << 20;

struct BigBlock {
    std::atomic<void *> Block{nullptr};   // what operator new returned; nullptr: an empty slot
    void *Base = nullptr;                 // the mapping
    size_t Length = 0;
    bool Free = false;                    // freed, its mapping kept for reuse
};
BigBlock bigBlocks[32];
std::mutex table;
std::atomic<int> slotsUsed{0};
// Freed mappings kept at most, in bytes.
constexpr size_t keptAtMost = size_t(64) << 20;
size_t kept = 0;

// Room from the block to the end of its mapping.
size_t roomOf(const BigBlock &b) {
    return b.Length - size_t(static_cast<char *>(b.Block.load()) - static_cast<char *>(b.Base));
}

void emptySlot(BigBlock &b) {
    munmap(b.Base, b.Length);
    b.Base = nullptr;
    b.Length = 0;
    b.Free = false;
    b.Block.store(nullptr, std::memory_order_release);
    slotsUsed.fetch_sub(1, std::memory_order_relaxed);
}

// A 2 MiB-aligned mapping marked for huge pages; nullptr when there is none.
void *bigNew(size_t size) {
    std::lock_guard<std::mutex> held(table);
    for (BigBlock &b : bigBlocks)
        if (b.Free && roomOf(b) >= size) {
            b.Free = false;
            kept -= b.Length;
            return b.Block.load();
        }
    BigBlock *slot = nullptr;
    for (BigBlock &b : bigBlocks)
        if (!b.Block.load() || (b.Free && !slot)) slot = &b;   // an empty slot, else a kept one given up
    if (!slot) return nullptr;
    if (slot->Free) {
        kept -= slot->Length;
        emptySlot(*slot);
    }
    size_t length = size + hugePage;
    void *base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    uintptr_t aligned = (uintptr_t(base) + hugePage - 1) & ~uintptr_t(hugePage - 1);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    slot->Base = base;
    slot->Length = length;
    slot->Free = false;
    slotsUsed.fetch_add(1, std::memory_order_relaxed);
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
    if (slotsUsed.load(std::memory_order_acquire) > 0)
        for (BigBlock &b : bigBlocks)
            if (b.Block.load(std::memory_order_acquire) == p) {
                std::lock_guard<std::mutex> held(table);
                if (b.Block.load() != p || b.Free) break;
                if (kept + b.Length <= keptAtMost) {
                    b.Free = true;
                    kept += b.Length;
                } else {
                    emptySlot(b);
                }
                return;
            }
    std::free(p);
}

void operator delete(void *p, size_t) noexcept { operator delete(p); }
#endif
