// Many host copies written as one batch: each file still reaches its name by
// a rename of a complete temporary file, but the flushes that make them
// durable are shared by the batch instead of paid file by file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

// One file of a batch.
struct t_BatchFile {
    std::string Path;        // the target
    // 0 once the file is in place and flushed; the error number otherwise,
    // as t_WriteFile gives it (t_FolderNotFlushed added when the file is in
    // place but its folder could not be flushed).
    int Result = 0;
    // While pending: the temporary beside the target, still open.
    std::string Temp;
    int Fd = -1;
    bool NoReplace = false;
};

struct t_HostBatch {
    std::vector<t_BatchFile> Files;   // in the order added
    size_t FirstPending = 0;          // Files before it are finished
};

// Adds a host copy (t_WriteHostCopy, with or without t_WriteNoReplace): the
// target is checked as t_WriteFile checks it and the bytes are written to a
// temporary file beside it.  Nothing is at the target's name yet.  Gives the
// file's index in Files; its Result is already the error when the check or
// the write failed.  After many pending files the batch finishes those first,
// so that open descriptors stay few.
size_t t_BatchAdd(t_HostBatch &batch, std::string_view path, const Text &bytes, int how);
// Makes every pending temporary durable, renames each into place and then
// flushes each folder touched once.  A file that fails leaves no temporary
// behind and has its error in Result; the others go on.
void t_BatchFinish(t_HostBatch &batch);
