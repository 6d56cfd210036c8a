#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/compare.h"

// Input: the text of an earlier listing, read as --compare reads it, through an in-memory file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("listing", 0);
    if (fd < 0) return 0;
    if (write(fd, data, size) == static_cast<ssize_t>(size)) {
        tessory::OldListingReader reader("/proc/self/fd/" + std::to_string(fd));
        if (reader.Start() && reader.Root()) {
            tessory::OldFolder folder;
            while (reader.Next(folder)) {
            }
        }
        reader.Error();
    }
    close(fd);
    return 0;
}
