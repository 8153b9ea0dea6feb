// Feeds arbitrary bytes to the reader of a saved picture or a frame, as a
// file gives them: the text found to parseView, as readPictureView does, and
// a PNG's rows to its end, as a movie reads its frames back.
// Each PNG chunk's checksum is made right first, so that changed bytes reach
// the texts instead of stopping at a checksum. The reader must end on every
// input without a fault, a leak or a large allocation (the run's
// -malloc_limit_mb), and keep its promises: a text found is at most
// longestView bytes, a refused one longer; memory has no file's refusals.
#include "picturereader.h"
#include "viewtext.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void check(bool promise, const char* what)
{
    if (promise)
        return;
    std::fprintf(stderr, "readViewText breaks its promise: %s\n", what);
    __builtin_trap();
}

uint32_t bigEndian(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// Rewrites the checksum of every whole chunk after the PNG signature.
void fixChecksums(std::vector<unsigned char>& bytes)
{
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const uint32_t length = bigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12)
            break;
        const uint32_t crc = uint32_t(crc32(0, &bytes[at + 4], length + 4));
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    fixChecksums(bytes);
    picture::MemorySource source(bytes.data(), bytes.size());
    picture::Reader reader(source);
    const picture::Read result = reader.begin();
    switch (result.fault) {
    case picture::Fault::none:
        check(result.view.size() <= picture::longestView, "found a text too long");
        parseView(result.view);
        break;
    case picture::Fault::viewTooLong:
        check(result.length > picture::longestView, "refused a text short enough");
        break;
    case picture::Fault::damaged:
        check(!result.detail.empty(), "says nothing of the damage");
        break;
    case picture::Fault::notPicture:
    case picture::Fault::noView:
        break;
    case picture::Fault::unreadable:
    case picture::Fault::folder:
    case picture::Fault::notRegularFile:
    case picture::Fault::badView:
        check(false, "refused memory as a file, or judged a view");
    }
    // A PNG's rows, read to its end in bounded time and memory.
    if (result.width > 0 && result.width <= 1 << 16) {
        std::vector<uint8_t> row(size_t(result.width) * 3);
        bool read = true;
        for (int y = 0; y < result.height && read; ++y)
            read = reader.readRow(row.data());
        if (read)
            reader.finish();
    }
    return 0;
}
