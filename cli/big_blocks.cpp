// Blocks of 1 MiB and more (the image and its copies) on transparent huge
// pages.  A short command otherwise spends most of its time faulting in a
// 2 MiB image one 4 KiB page at a time; this takes a quarter off the whole
// batch of bench engine.  Smaller blocks stay with malloc.  A freed big block
// keeps its mapping for the next one that fits (a command copies its image a
// few times): its pages are already there, where a new mapping would have the
// kernel clear them again.  Only the main thread makes or frees big blocks
// (the flushing threads of a host batch allocate none), so the table of big
// blocks needs no lock.
// Built only without sanitizers (they bring their own operator new).
#ifdef DW_CLI_BIG_BLOCKS
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
constexpr size_t bigBlock = size_t(1) << 20;
constexpr size_t hugePage = size_t(2) << 20;

struct BigBlock {
    void *Block = nullptr;   // what operator new returned
    void *Base = nullptr;    // the mapping
    size_t Length = 0;
    bool Free = false;       // freed, its mapping kept for reuse
};
BigBlock bigBlocks[32];
// Freed mappings kept at most, in bytes.
constexpr size_t keptAtMost = size_t(64) << 20;
size_t kept = 0;

// Room from the block to the end of its mapping.
size_t roomOf(const BigBlock &b) { return b.Length - size_t(static_cast<char *>(b.Block) - static_cast<char *>(b.Base)); }

// A 2 MiB-aligned mapping marked for huge pages; nullptr when there is none.
void *bigNew(size_t size) {
    for (BigBlock &b : bigBlocks)
        if (b.Free && roomOf(b) >= size) {
            b.Free = false;
            kept -= b.Length;
            return b.Block;
        }
    BigBlock *slot = nullptr;
    for (BigBlock &b : bigBlocks)
        if (!b.Block || (b.Free && !slot)) slot = &b;   // an empty slot, else a kept one given up
    if (!slot) return nullptr;
    if (slot->Free) {
        munmap(slot->Base, slot->Length);
        kept -= slot->Length;
        *slot = BigBlock();
    }
    size_t length = size + hugePage;
    void *base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    uintptr_t aligned = (uintptr_t(base) + hugePage - 1) & ~uintptr_t(hugePage - 1);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    *slot = {reinterpret_cast<void *>(aligned), base, length, false};
    return slot->Block;
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
    for (BigBlock &b : bigBlocks)
        if (b.Block == p && !b.Free) {
            if (kept + b.Length <= keptAtMost) {
                b.Free = true;
                kept += b.Length;
            } else {
                munmap(b.Base, b.Length);
                b = BigBlock();
            }
            return;
        }
    std::free(p);
}

void operator delete(void *p, size_t) noexcept { operator delete(p); }
#endif
