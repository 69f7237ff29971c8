// libFuzzer entry: arbitrary bytes as a file for the reader.
#include "fuzz/drivers.h"
#include "fuzz/memoryfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const tunevale::fuzz::MemoryFile file(data, size);
    if (file.isValid())
        tunevale::fuzz::exerciseReader(file.path());
    return 0;
}
