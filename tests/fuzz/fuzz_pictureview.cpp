// Feeds arbitrary bytes to the reader of a saved picture's view text, as a
// file gives them, and the text found to parseView, as readPictureView does.
// Each PNG chunk's checksum is made right first, so that changed bytes reach
// the texts instead of stopping at a checksum. The reader must end on every
// input without a fault, a leak or a large allocation (the run's
// -malloc_limit_mb), and keep its promises: a text found is at most
// longestView bytes, a refused one longer; memory has no file's refusals.
#include "picturetext.h"
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
    picturetext::MemorySource source(bytes.data(), bytes.size());
    const picturetext::Result result = picturetext::readViewText(source);
    switch (result.outcome) {
    case picturetext::Outcome::found:
        check(result.text.size() <= picturetext::longestView, "found a text too long");
        parseView(result.text);
        break;
    case picturetext::Outcome::tooLong:
        check(result.length > picturetext::longestView, "refused a text short enough");
        break;
    case picturetext::Outcome::damaged:
        check(!result.detail.empty(), "says nothing of the damage");
        break;
    case picturetext::Outcome::notPicture:
    case picturetext::Outcome::noView:
        break;
    case picturetext::Outcome::unreadable:
    case picturetext::Outcome::folder:
    case picturetext::Outcome::notRegularFile:
        check(false, "refused memory as a file");
    }
    return 0;
}
