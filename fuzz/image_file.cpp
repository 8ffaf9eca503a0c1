// Image files come from the host's disk: whatever the bytes, the header read and the decoder agree,
// sizes stay within the bounds, a refused file costs no memory, and the colour key and mip chain work
// on what was decoded.
#include "platform/D3DXTexture.h"
#include "platform/ImageFile.h"
#include "platform/ImageFilter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

/// Larger pictures are decoded as well, only more slowly than a fuzzer should wait for.
constexpr std::uint64_t kLargestChain = 1u << 20;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ImageFile::TakeLargestDecoderRequest();
    const std::optional<ImageHeader> header = ImageFile::ReadHeader(data, size);
    if (!header) {
        Check(!ImageFile::Decode(data, size));
        // A refused file never gets the decoder past its own records.
        Check(ImageFile::TakeLargestDecoderRequest() <= ImageFile::kDecoderWorkspace);
        return 0;
    }
    Check(header->width >= 1 && header->width <= ImageFile::kMaxSide);
    Check(header->height >= 1 && header->height <= ImageFile::kMaxSide);
    Check(std::uint64_t(header->width) * header->height <= ImageFile::kMaxPixels);
    if (std::uint64_t(header->width) * header->height > kLargestChain) {
        return 0;
    }
    std::optional<platform::Image> image = ImageFile::Decode(data, size);
    if (!image) {
        return 0;
    }
    Check(image->width == header->width && image->height == header->height);
    Check(image->pixels.size() == std::size_t(image->width) * image->height);
    ImageFilter::ApplyColourKey(*image, 0xFFFF00FFu);
    const UINT levels = ImageFilter::FullChainLength(image->width, image->height);
    const std::vector<platform::Image> chain = ImageFilter::MipChain(std::move(*image), levels, D3DX_DEFAULT);
    Check(chain.size() == levels);
    Check(chain.back().width == 1 && chain.back().height == 1);
    return 0;
}
