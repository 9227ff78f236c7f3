// Blocks of 1 MiB and more (the image and its copies) on transparent huge
// pages.  A short command otherwise spends most of its time faulting in a
// 2 MiB image one 4 KiB page at a time; this takes a quarter off the whole
// batch of bench engine.  Smaller blocks stay with malloc.  The command-line
// tool is single-threaded, so the table of big blocks needs no lock.
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
};
BigBlock bigBlocks[32];

// A 2 MiB-aligned mapping marked for huge pages; nullptr when there is none.
void *bigNew(size_t size) {
    BigBlock *slot = nullptr;
    for (BigBlock &b : bigBlocks)
        if (!b.Block) {
            slot = &b;
            break;
        }
    if (!slot) return nullptr;
    size_t length = size + hugePage;
    void *base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    uintptr_t aligned = (uintptr_t(base) + hugePage - 1) & ~uintptr_t(hugePage - 1);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    *slot = {reinterpret_cast<void *>(aligned), base, length};
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
        if (b.Block == p) {
            munmap(b.Base, b.Length);
            b = BigBlock();
            return;
        }
    std::free(p);
}

void operator delete(void *p, size_t) noexcept { operator delete(p); }
#endif
