#pragma once
// The animation optimiser. TGIFImage::OptimizeFrames, the colour-map
// optimisation (TGIFColorMap::Optimize and its histogram) and the frame steps
// TGIFSubImage::Crop and TGIFSubImage::Merge are declared with the block
// model and defined in GifOptimizer.cpp; the pieces below are the parts that
// work on plain data, kept apart so that they can be tested on their own.
//
// Every step keeps the rendered animation as it was: the same picture is
// shown for the same time after each frame, whatever the disposal methods.
#include <array>
#include <span>
#include <vector>

#include "gif/GifColorMap.h"
#include "gif/GifItems.h"
#include "platform/base/Types.h"

// Sorts by Count, largest first (a quicksort around the middle pair's count;
// pairs of equal counts keep no particular order).
void SortUsageCounts(std::span<TGIFUsageCount> Counts);

// The smallest rectangle (in frame coordinates) holding every pixel other
// than Transparent; an empty rectangle when there is none.
TRect FindOpaqueBounds(const Byte* Pixels, int Width, int Height, Byte Transparent);

// Old index -> new index of a colour table sorted by use: Map[Counts[i].Index]
// = i for every pair; the number of entries in use (pairs with a count above
// 0) goes to UsedCount. Counts must already be sorted.
// For each colour index, the lowest position of a transparent frame without a
// local table whose transparent index it is (INT_MAX when none): the frames a
// merge may share its transparent index with.
std::array<int, 256> TransparentIndexFrames(const TGIFImageList& Frames);
// Notes Frame, at Position, in such a table.
void NoteTransparentIndex(std::array<int, 256>& First, const TGIFSubImage& Frame, int Position);

std::vector<int> UsageRemap(std::span<const TGIFUsageCount> Counts, int& UsedCount);
