// The mark of an image that a mounted folder serves.  The mount holds, beside
// the image's exclusive lock, a read lock (an open file description lock) on
// one byte far past the end of any image, set before the image's lock is
// taken; others look for it when they find the lock held (t_LockFile with
// t_LockMark::Yield) and refuse to change the image, or read it without
// waiting for the lock.  The kernel drops both locks when the mount ends,
// however it ends.
#pragma once

#include <string_view>

// Marks the file open at the descriptor (open for reading); false with errno.
bool t_MarkInUse(int fd);
// True when a mount marks the file the path names.
bool t_MarkedInUse(std::string_view path);
