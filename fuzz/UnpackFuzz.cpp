// The packed-dictionary unpacker: UnpackToMemory over the bytes, and UnpackFile over the same
// bytes as a source file into a destination in a private folder. Both use one decoder, so they
// must agree on the result and, when it succeeds, on every byte. (VerifyPackedFile runs the
// same unpacking without a destination; each call costs two 1 MiB buffers, so it is left out.)
#include "FuzzTarget.h"
#include "FuzzScratch.h"

#include "install/UnpackFile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteBuffer memory;
    const int inMemory = UnpackToMemory(data, size, memory);
    FUZZ_CHECK(inMemory == kUnpackOk || inMemory == kUnpackBadHeader || inMemory == kUnpackChecksumError);

    static const std::string source = fuzz::ScratchFolder() + "dict.pak";
    static const std::string destination = fuzz::ScratchFolder() + "dict.dct";
    if (!fuzz::WriteScratchFile(source, data, size))
        return 0;
    const int onDisk = UnpackFile(source, destination, nullptr, nullptr);
    FUZZ_CHECK(onDisk == inMemory);
    if (onDisk == kUnpackOk) {
        std::ifstream in(destination, std::ios::binary);
        const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        FUZZ_CHECK(written.size() == memory.size());
        FUZZ_CHECK(written.empty() || written.compare(0, written.size(), reinterpret_cast<const char*>(memory.data()),
                                                      memory.size()) == 0);
    }
    std::remove(destination.c_str());
    return 0;
}
