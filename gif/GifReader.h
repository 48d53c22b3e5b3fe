#pragma once
// Reading of GIF streams into the block tree. The read operations are
// members of the blocks (TGIFImage::LoadFromStream, TGIFHeader,
// TGIFSubImage, TGIFImageList, TGIFExtensionList, TGIFTrailer) and are
// defined in GifReader.cpp; this header adds the entry points that work on
// plain bytes.
#include <cstddef>
#include <memory>

#include "platform/base/Types.h"

class TGIFImage;

// A new image read from Size bytes; GIFException on a stream it refuses.
std::unique_ptr<TGIFImage> LoadGIFFromBytes(const Byte* Data, std::size_t Size);

// Registers the standard extension classes with the label and application
// registries (done on first use by the reader; calling again does nothing
// until the registries are freed).
void RegisterStandardGIFExtensions();
