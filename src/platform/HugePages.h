#pragma once
// Large buffers that are filled right after they are made (a decoded file,
// its line table) cost more in page faults than in the work that fills them:
// the kernel zeroes and maps them 4 KiB at a time. Asking for 2 MiB pages
// before the first write makes that a few hundred faults instead of tens of
// thousands. Only advice: where the kernel keeps huge pages for those who
// ask (the usual "madvise" setting), it takes it; elsewhere nothing changes.

#include <cstddef>

namespace qv::platform {

// Advises huge pages for the whole 2 MiB blocks inside [data, data + bytes).
// Call it before the buffer is written; smaller buffers are left alone.
void adviseHugePages(const void* data, std::size_t bytes);

}  // namespace qv::platform
