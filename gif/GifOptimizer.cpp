#include "gif/GifOptimizer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <climits>
#include <cstring>
#include <utility>

#include "gif/GifImage.h"

// ------------------------------------------------------------ plain helpers

namespace {

void QuickSortCounts(TGIFUsageCount* Counts, int Lo, int Hi) {
    // Recurse on the left part, iterate on the right: the depth stays small
    // for the at most 256 entries of a colour table.
    while (Lo < Hi) {
        int i = Lo, j = Hi;
        const int pivot = Counts[Lo + (Hi - Lo) / 2].Count;
        do {
            while (Counts[i].Count > pivot)
                ++i;
            while (Counts[j].Count < pivot)
                --j;
            if (i <= j) {
                std::swap(Counts[i], Counts[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (Lo < j) QuickSortCounts(Counts, Lo, j);
        Lo = i;
    }
}

} // namespace

void SortUsageCounts(std::span<TGIFUsageCount> Counts) {
    if (Counts.size() > 1) QuickSortCounts(Counts.data(), 0, int(Counts.size()) - 1);
}

TRect FindOpaqueBounds(const Byte* Pixels, int Width, int Height, Byte Transparent) {
    if (Pixels == nullptr || Width <= 0 || Height <= 0) return {};
    const auto at = [&](int x, int y) { return Pixels[std::size_t(y) * std::size_t(Width) + x]; };
    int left = -1;
    for (int x = 0; x < Width && left < 0; ++x)
        for (int y = 0; y < Height; ++y)
            if (at(x, y) != Transparent) {
                left = x;
                break;
            }
    if (left < 0) return {};
    int right = left;
    for (int x = Width - 1; x > left; --x) {
        bool found = false;
        for (int y = 0; y < Height && !found; ++y)
            found = at(x, y) != Transparent;
        if (found) {
            right = x;
            break;
        }
    }
    const auto rowHas = [&](int y) {
        for (int x = left; x <= right; ++x)
            if (at(x, y) != Transparent) return true;
        return false;
    };
    int top = 0;
    while (!rowHas(top))
        ++top;
    int bottom = Height - 1;
    while (bottom > top && !rowHas(bottom))
        --bottom;
    return {left, top, right + 1, bottom + 1};
}

std::vector<int> UsageRemap(std::span<const TGIFUsageCount> Counts, int& UsedCount) {
    std::vector<int> map(Counts.size());
    UsedCount = int(Counts.size());
    for (std::size_t i = 0; i < Counts.size(); ++i) {
        const int old = Counts[i].Index;
        if (old >= 0 && std::size_t(old) < map.size()) map[std::size_t(old)] = int(i);
        if (Counts[i].Count == 0 && UsedCount == int(Counts.size())) UsedCount = int(i);
    }
    return map;
}

// ------------------------------------------------------- colour-map optimise

namespace {

// One (0, i) pair per entry.
void ResetHistogram(const TGIFColorMap& Map, std::vector<TGIFUsageCount>& Histogram) {
    Histogram.assign(std::size_t(Map.Count()), {});
    for (int i = 0; i < Map.Count(); ++i)
        Histogram[std::size_t(i)].Index = i;
}

void CountPixels(const TGIFSubImage& Frame, std::vector<TGIFUsageCount>& Histogram) {
    // Four tallies in turn, so that a run of one index does not wait on its
    // own count at every pixel.
    std::array<std::array<std::uint64_t, 256>, 4> tally{};
    const Byte* p = Frame.Data();
    const std::int64_t n = Frame.DataSize();
    std::int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++tally[0][p[i]];
        ++tally[1][p[i + 1]];
        ++tally[2][p[i + 2]];
        ++tally[3][p[i + 3]];
    }
    for (; i < n; ++i)
        ++tally[0][p[i]];
    for (std::size_t k = 0; k < Histogram.size() && k < 256; ++k)
        Histogram[k].Count += int(tally[0][k] + tally[1][k] + tally[2][k] + tally[3][k]);
}

void RemapFrame(TGIFSubImage& Frame, const std::vector<int>& Map) {
    // Indices past the map stay as they are.
    std::array<Byte, 256> to;
    for (std::size_t v = 0; v < 256; ++v)
        to[v] = v < Map.size() ? Byte(Map[v]) : Byte(v);
    Byte* p = Frame.Data();
    const std::int64_t n = Frame.DataSize();
    for (std::int64_t i = 0; i < n; ++i)
        p[i] = to[p[i]];
    if (TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension()) {
        const int t = gce->TransparentColorIndex();
        if (std::size_t(t) < Map.size()) gce->SetTransparentColorIndex(Map[std::size_t(t)]);
    }
    Frame.FreeBitmap();
    Frame.FreeMask();
}

bool UsesMap(const TGIFSubImage& Frame, const TGIFColorMap& Map) {
    return &Frame.ActiveColorMap() == &Map;
}

// Calls Action for each frame of Header's image that uses Map; false when
// there is no image.
template <class TAction>
bool ForFramesUsing(TGIFHeader* Header, const TGIFColorMap& Map, TAction Action) {
    TGIFImage* image = Header ? Header->Image() : nullptr;
    if (image == nullptr) return false;
    TGIFImageList& frames = image->Images();
    for (int i = 0; i < frames.ItemCount(); ++i) {
        TGIFSubImage* frame = frames.FrameAt(i);
        if (UsesMap(*frame, Map)) Action(*frame);
    }
    return true;
}

} // namespace

void TGIFColorMap::BuildHistogram(std::vector<TGIFUsageCount>& Histogram) {
    ResetHistogram(*this, Histogram);
}

void TGIFColorMap::MapImages(const std::vector<int>& Map) {}

bool TGIFColorMap::Optimize() {
    if (Count() < 2) return false;
    SetSorted(true);
    std::vector<TGIFUsageCount> histogram;
    BuildHistogram(histogram);
    SortUsageCounts(histogram);
    bool identity = true;
    for (std::size_t i = 0; i < histogram.size() && identity; ++i)
        identity = histogram[i].Index == int(i);
    if (identity) return true;

    int used = 0;
    const std::vector<int> map = UsageRemap(histogram, used);
    // Pixels and transparent indices first, while every old index is still
    // valid in the map.
    MapImages(map);
    const std::vector<Byte> old(Data(), Data() + std::size_t(Count()) * 3);
    std::vector<TColor> colors(static_cast<std::size_t>(used));
    for (std::size_t i = 0; i < std::size_t(used); ++i) {
        const Byte* t = old.data() + std::size_t(histogram[i].Index) * 3;
        colors[i] = TColor(t[0] | (t[1] << 8) | (t[2] << 16));
    }
    Clear();
    for (TColor c : colors)
        Add(c);
    SetSorted(true);
    Changed();
    return true;
}

void TGIFGlobalColorMap::BuildHistogram(std::vector<TGIFUsageCount>& Histogram) {
    ResetHistogram(*this, Histogram);
    if (!ForFramesUsing(FHeader, *this,
                        [&](TGIFSubImage& Frame) { CountPixels(Frame, Histogram); }))
        return;
    // The logical screen's background colour may be shown without any pixel
    // using it: keep it in the table.
    const int background = FHeader->BackgroundColorIndex();
    if (background < int(Histogram.size()) && Histogram[std::size_t(background)].Count == 0)
        Histogram[std::size_t(background)].Count = 1;
}

void TGIFGlobalColorMap::MapImages(const std::vector<int>& Map) {
    if (!ForFramesUsing(FHeader, *this, [&](TGIFSubImage& Frame) { RemapFrame(Frame, Map); }))
        return;
    const int background = FHeader->BackgroundColorIndex();
    if (std::size_t(background) < Map.size())
        FHeader->SetBackgroundColorIndex(Byte(Map[std::size_t(background)]));
}

void TGIFLocalColorMap::BuildHistogram(std::vector<TGIFUsageCount>& Histogram) {
    ResetHistogram(*this, Histogram);
    if (FSubImage && UsesMap(*FSubImage, *this)) CountPixels(*FSubImage, Histogram);
}

void TGIFLocalColorMap::MapImages(const std::vector<int>& Map) {
    if (FSubImage && UsesMap(*FSubImage, *this)) RemapFrame(*FSubImage, Map);
}

// ------------------------------------------------------------- frame steps

namespace {

int TransparentIndexOf(const TGIFSubImage& Frame) {
    const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    return Frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
}

int DisposalOf(const TGIFSubImage& Frame) {
    const TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    return gce ? int(gce->Disposal()) : 0;
}

bool ContainsIndex(const TGIFSubImage& Frame, int Index) {
    if (Index < 0 || Index > 255) return false;
    const Byte* p = Frame.Data();
    return std::find(p, p + Frame.DataSize(), Byte(Index)) != p + Frame.DataSize();
}

} // namespace

std::array<int, 256> TransparentIndexFrames(const TGIFImageList& Frames) {
    std::array<int, 256> first;
    first.fill(INT_MAX);
    for (int i = Frames.ItemCount() - 1; i >= 0; --i)
        NoteTransparentIndex(first, *Frames.FrameAt(i), i);
    return first;
}

void NoteTransparentIndex(std::array<int, 256>& First, const TGIFSubImage& Frame, int Position) {
    if (Frame.ColorMap().Count() != 0) return;
    const int index = TransparentIndexOf(Frame);
    if (index >= 0 && Position < First[std::size_t(index)]) First[std::size_t(index)] = Position;
}

namespace {

// Each index of a map as one number, so that two pixels show the same colour
// exactly when their numbers are equal: an index in the map gives its RGB
// triple; one past the map's end matches only itself in the same map (Tag
// | index, with a Tag of 1 or 2 above the 24 colour bits per map).
using TColorKeys = std::array<std::uint32_t, 256>;

void FillColorKeys(const TGIFColorMap& Map, std::uint32_t Tag, TColorKeys& Keys) {
    const Byte* t = Map.Data();
    for (int i = 0; i < 256; ++i)
        Keys[std::size_t(i)] = i < Map.Count()
                                   ? std::uint32_t(t[3 * i]) | std::uint32_t(t[3 * i + 1]) << 8 |
                                         std::uint32_t(t[3 * i + 2]) << 16
                                   : Tag << 24 | std::uint32_t(i);
}

} // namespace

void TGIFSubImage::Crop() {
    if (Empty() || !Transparent() || FGCE == nullptr) return;
    // The area a "restore to background" frame clears after it is shown is
    // its rectangle: cropping would clear less.
    if (FGCE->Disposal() == gdRestoreBackground) return;
    const Byte t = FGCE->TransparentColorIndex();
    const int w = Width(), h = Height();
    const TRect inner = FindOpaqueBounds(Data(), w, h, t);
    if (inner.IsEmpty()) {
        Clear();
        return;
    }
    if (inner == TRect{0, 0, w, h}) return;
    std::vector<Byte> pixels(std::size_t(inner.Width()) * std::size_t(inner.Height()));
    for (int y = inner.Top; y < inner.Bottom; ++y)
        std::memcpy(pixels.data() + std::size_t(y - inner.Top) * std::size_t(inner.Width()),
                    Data() + std::size_t(y) * std::size_t(w) + inner.Left,
                    std::size_t(inner.Width()));
    SetBounds(Left() + inner.Left, Top() + inner.Top, inner.Width(), inner.Height());
    std::memcpy(Data(), pixels.data(), pixels.size());
    FreeBitmap();
    FreeMask();
}

void TGIFSubImage::Merge(TGIFSubImage* Previous, const std::array<int, 256>* FirstFrameOfIndex) {
    if (Previous == nullptr || Previous == this || Empty() || Previous->Empty()) return;
    const int previousDisposal = DisposalOf(*Previous);
    if (previousDisposal == gdRestoreBackground || previousDisposal == gdRestorePrevious) return;
    TRect overlap;
    if (!IntersectRect(overlap, BoundsRect(), Previous->BoundsRect())) return;

    const bool wasTransparent = Transparent() && FGCE != nullptr;
    TGIFColorMap& map = ActiveColorMap();
    if (!wasTransparent && (map.Count() == 0 || map.Count() >= GIFMaxColors)) return;
    const TGIFColorMap& previousMap = Previous->ActiveColorMap();
    const int previousT = TransparentIndexOf(*Previous);
    int t = wasTransparent ? FGCE->TransparentColorIndex() : -1;

    const auto chooseTransparent = [&]() {
        if (FColorMap->Count() == 0 && FImage != nullptr) {
            // Share the index the first frame of the global map already made
            // transparent, unless this frame shows that index itself.
            std::array<int, 256> first;
            if (FirstFrameOfIndex) {
                first = *FirstFrameOfIndex;
            } else {
                first = TransparentIndexFrames(FImage->Images());
            }
            std::array<bool, 256> shown{};
            for (std::int64_t i = 0; i < DataSize(); ++i)
                shown[Data()[i]] = true;
            int best = -1;
            for (int index = 0; index < map.Count() && index < 256; ++index)
                if (first[std::size_t(index)] != INT_MAX && !shown[std::size_t(index)] &&
                    (best < 0 || first[std::size_t(index)] < first[std::size_t(best)]))
                    best = index;
            if (best >= 0) return best;
        }
        // A plain add: an existing black entry may be in use by opaque pixels.
        return map.Add(clBlack);
    };

    // Same map and same index: same colour, even past the map's end.
    TColorKeys keys, previousKeys;
    const auto fillKeys = [&] {
        FillColorKeys(map, 1, keys);
        FillColorKeys(previousMap, &previousMap == &map ? 1 : 2, previousKeys);
    };
    fillKeys();
    const int w = Width(), pw = Previous->Width();
    for (int y = overlap.Top; y < overlap.Bottom; ++y) {
        Byte* row = Data() + std::size_t(y - Top()) * std::size_t(w);
        const Byte* previousRow =
            Previous->Data() + std::size_t(y - Previous->Top()) * std::size_t(pw);
        for (int x = overlap.Left; x < overlap.Right; ++x) {
            Byte& pixel = row[x - Left()];
            const int under = previousRow[x - Previous->Left()];
            if ((t >= 0 && pixel == t) || under == previousT) continue;
            if (keys[pixel] != previousKeys[std::size_t(under)]) continue;
            if (t < 0) {
                t = chooseTransparent();
                // A black entry may have been added to either map.
                fillKeys();
            }
            pixel = Byte(t);
        }
    }

    if (!wasTransparent && t >= 0) {
        if (FGCE == nullptr)
            FExtensions->AppendItem(TGIFGraphicControlExtension::CreateForFrame(this));
        FGCE->SetTransparent(true);
        FGCE->SetTransparentColorIndex(t);
    }
    FreeBitmap();
    FreeMask();
}

// --------------------------------------------------------------- the steps

namespace {

// Reports "Optimizing..." against a total of 6 steps per frame.
class TOptimizeProgress {
public:
    TOptimizeProgress(TGIFImage& Image, int Frames) : FImage(Image), FTotal(6 * Frames) {
        FImage.ReportProgress(psStarting, 0, sGIFOptimizing);
    }
    void Step(int Count = 1) {
        FCounter += Count;
        const int percent =
            FTotal > 0 ? int(std::min<std::int64_t>(std::int64_t(FCounter) * 100 / FTotal, 100))
                       : 100;
        FImage.ReportProgress(psRunning, percent, sGIFOptimizing);
    }
    void End(bool Failed) { FImage.ReportProgress(psEnding, Failed ? 0 : 100, sGIFOptimizing); }

private:
    TGIFImage& FImage;
    int FTotal;
    int FCounter = 0;
};

class TPainterListLock {
public:
    explicit TPainterListLock(TThreadList& List) : FList(List) { FList.LockList(); }
    ~TPainterListLock() { FList.UnlockList(); }

private:
    TThreadList& FList;
};

// Adds Delay to a frame's delay (a control extension is made when it has
// none), keeping within the 16 bits of the field.
void AddDelay(TGIFSubImage& Frame, int Delay) {
    if (Delay <= 0) return;
    TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    if (gce == nullptr) {
        Frame.Extensions().AppendItem(TGIFGraphicControlExtension::CreateForFrame(&Frame));
        gce = Frame.GraphicControlExtension();
        if (gce == nullptr) return;
    }
    gce->SetDelay(Word(std::min(int(gce->Delay()) + Delay, 0xFFFF)));
}

bool IsUselessExtension(const TGIFExtension* Extension) {
    return dynamic_cast<const TGIFCommentExtension*>(Extension) != nullptr ||
           dynamic_cast<const TGIFTextExtension*>(Extension) != nullptr ||
           dynamic_cast<const TGIFUnknownAppExtension*>(Extension) != nullptr;
}

} // namespace

void TGIFImage::OptimizeFrames(TGIFOptimizeSteps Steps, TGIFReductionMethod ReductionMethod,
                               int ColorBits, TGIFDitherKernel DitherKernel) {
    if (Empty()) return;
    StopPainters();
    {
        TPainterListLock lock(FPainters);
        TGIFImageList& frames = Images();
        TOptimizeProgress progress(*this, frames.ItemCount());
        try {
            if (Steps & osPackColorMaps) {
                if (GlobalColorMap().Count() > 0) GlobalColorMap().Optimize();
                for (int i = 0; i < frames.ItemCount(); ++i) {
                    TGIFSubImage* frame = frames.FrameAt(i);
                    if (frame->ColorMap().Count() > 0) frame->ColorMap().Optimize();
                    progress.Step();
                }
                FreePalette();
            } else {
                progress.Step(frames.ItemCount());
            }

            if (Steps & osRemoveRedundant) {
                for (int i = 0; i < frames.ItemCount(); ++i) {
                    TGIFSubImage* frame = frames.FrameAt(i);
                    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
                    if (frame->Transparent() && gce &&
                        !ContainsIndex(*frame, gce->TransparentColorIndex()))
                        gce->SetTransparent(false);
                    progress.Step();
                }
                for (int i = 0; i + 1 < frames.ItemCount(); ++i) {
                    TGIFSubImage* frame = frames.FrameAt(i);
                    TGIFSubImage* next = frames.FrameAt(i + 1);
                    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
                    progress.Step();
                    if (gce == nullptr || gce->Disposal() < gdRestoreBackground ||
                        gce->Disposal() > gdRestorePrevious)
                        continue;
                    // The disposal changes nothing when the next frame covers
                    // this one with opaque pixels and does not itself go back to
                    // the picture this disposal leaves.
                    TRect overlap;
                    if (!next->Transparent() && !next->Empty() && !frame->Empty() &&
                        DisposalOf(*next) != gdRestorePrevious &&
                        IntersectRect(overlap, frame->BoundsRect(), next->BoundsRect()) &&
                        overlap == frame->BoundsRect())
                        gce->SetDisposal(gdNotSpecified);
                }
                progress.Step();
            } else {
                progress.Step(2 * frames.ItemCount());
            }

            if (Steps & osCombineFrames) {
                // Frames only gain transparency here, so the table of shared
                // transparent indices is kept up to date as they do.
                std::array<int, 256> first = TransparentIndexFrames(frames);
                for (int b = frames.ItemCount() - 1; b >= 1; --b) {
                    int p = b - 1;
                    while (p > 0 && DisposalOf(*frames.FrameAt(p)) == gdRestorePrevious &&
                           frames.FrameAt(p)->GraphicControlExtension() != nullptr)
                        --p;
                    frames.FrameAt(b)->Merge(frames.FrameAt(p), &first);
                    NoteTransparentIndex(first, *frames.FrameAt(b), b);
                    progress.Step();
                }
                progress.Step();
            } else {
                progress.Step(frames.ItemCount());
            }

            // Frames found useless are freed together after each pass: the
            // passes only look at frames before the one they are on.
            std::vector<bool> dropped;
            const auto dropMarked = [&] {
                int k = 0;
                frames.DeleteWhere([&](TGIFItem*) { return bool(dropped[std::size_t(k++)]); });
            };
            if (Steps & osTrimFrames) {
                dropped.assign(std::size_t(frames.ItemCount()), false);
                for (int i = frames.ItemCount() - 1; i >= 0; --i) {
                    TGIFSubImage* frame = frames.FrameAt(i);
                    progress.Step();
                    if (frame->Empty() || !frame->Transparent()) continue;
                    const TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
                    const int delay = gce ? gce->Delay() : 0;
                    // A frame that draws nothing still shows a picture of its own
                    // when it is the first one (the backdrop; it also carries the
                    // looping extension) or when the frame before it is disposed
                    // of: it is kept whole.
                    const int previousDisposal = i > 0 ? DisposalOf(*frames.FrameAt(i - 1)) : 0;
                    if ((i == 0 || previousDisposal == gdRestoreBackground ||
                         previousDisposal == gdRestorePrevious) &&
                        gce &&
                        FindOpaqueBounds(frame->Data(), frame->Width(), frame->Height(),
                                         gce->TransparentColorIndex())
                            .IsEmpty())
                        continue;
                    frame->Crop();
                    if (frame->Empty()) {
                        // A frame that draws nothing still holds the picture for
                        // its delay: the frame before it holds it instead.
                        if (i > 0) AddDelay(*frames.FrameAt(i - 1), delay);
                        dropped[std::size_t(i)] = true;
                    }
                }
                dropMarked();
            } else {
                progress.Step(frames.ItemCount());
            }
            progress.Step(frames.ItemCount());

            if (Steps & osRemoveRedundant) {
                dropped.assign(std::size_t(frames.ItemCount()), false);
                int count = frames.ItemCount(); // frames not yet dropped
                for (int i = frames.ItemCount() - 1; i >= 0; --i) {
                    TGIFSubImage* frame = frames.FrameAt(i);
                    TGIFExtensionList& extensions = frame->Extensions();
                    bool keptLoop = false;
                    extensions.DeleteWhere([&](TGIFItem* item) {
                        auto* extension = static_cast<TGIFExtension*>(item);
                        bool drop = IsUselessExtension(extension);
                        if (dynamic_cast<TGIFAppExtNSLoop*>(extension) != nullptr) {
                            drop = keptLoop || i != 0 || count <= 1;
                            keptLoop = keptLoop || !drop;
                        }
                        return drop;
                    });
                    const bool single = count == 1;
                    if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
                        if ((gce->Delay() == 0 || single) && !gce->Transparent() &&
                            !gce->UserInput() && (gce->Disposal() < gdRestoreBackground || single))
                            extensions.Delete(extensions.IndexOf(gce));
                    }
                    if (frame->Empty() && extensions.ItemCount() == 0) {
                        dropped[std::size_t(i)] = true;
                        --count;
                    }
                }
                dropMarked();
            } else if ((Steps & osValidateReduction) && ReductionMethod == rdmCallerPalette) {
                RaiseGIFError(sGIFInvalidReduction);
            }
        } catch (...) {
            progress.End(true);
            throw;
        }
        progress.End(false);
        FreeBitmap();
    }
    // Outside the lock: a change handler may well draw the image again.
    NotifyChanged();
}
