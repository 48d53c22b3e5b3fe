#pragma once
// TGIFImage: a GIF87a/GIF89a picture held as a block tree (header with the
// logical screen and global colour map, frames with their extensions). It
// owns every block, the painters' list and its caches; it refuses frames of
// other object types and untrusted streams that break the format.
//
// Members marked with a file name are defined there: saving in
// GifWriter.cpp, loading in GifReader.cpp, optimising in GifOptimizer.cpp,
// drawing and painters in GifPainter.cpp; the rest in GifImage.cpp.
#include <memory>
#include <string>

#include "gif/GifExtensions.h"
#include "gif/GifItems.h"
#include "gif/GifTypes.h"
#include "platform/classes/List.h"
#include "platform/graphics/Graphic.h"
#include "platform/system/Thread.h"

class TGIFPainter;

class TGIFImage : public TGraphic {
public:
    QM_CLASSNAME(TGIFImage)
    // Takes the module-wide defaults (GIFSettings()), then clears.
    TGIFImage();
    // Stops painters, detaches the survivors, clears.
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    static std::unique_ptr<TGIFImage> CreateEmpty();

    // ---- picture operations
    bool Empty() const override { return FImages->ItemCount() == 0; }
    int Width() const override { return FHeader->Width(); }
    int Height() const override { return FHeader->Height(); }
    // Less than some frame's right (bottom) edge raises "Image width (height)
    // too small for contained frames".
    void SetWidth(int Value) override;
    void SetHeight(int Value) override;
    // Re-entry raises "No global or local color table defined".
    TPalette Palette() const override;
    void SetPalette(const TPalette& Value) override;
    // Clears, reads header, frames and trailer; restores the stream position
    // on failure (GifReader.cpp).
    void LoadFromStream(TStream& Stream) override;
    // GifWriter.cpp. "Unsupported GIF version" for an image without frames.
    void SaveToStream(TStream& Stream) const override;
    // Runs the optimiser first when the module switch asks for it.
    void WriteData(TStream& Stream) const override;
    bool Equals(const TGraphic* Other) const override { return Other == this; }
    void Assign(const TPersistent* Source) override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;

    // The rendered bitmap and the GIF stream on the clipboard.
    void SaveToClipboardFormat();
    // The registered GIF format, else the bitmap format; anything else raises
    // "Format de Presse-papiers non supporté".
    void LoadFromClipboardFormat();

    // Forwards to OnWarning when set.
    virtual void Warning(TObject* Sender, TGIFSeverity Severity, const std::string& Message);

    // Stops painters, drops caches, deletes all frames, clears the global map
    // and the screen size, releases the global palette.
    void Clear();

    // ---- block tree
    TGIFImageList& Images() { return *FImages; }
    const TGIFImageList& Images() const { return *FImages; }
    TGIFImageList& FrameList() { return *FImages; }
    TGIFHeader& Header() { return *FHeader; }
    const TGIFHeader& Header() const { return *FHeader; }
    TGIFGlobalColorMap& GlobalColorMap() { return FHeader->ColorMap(); }
    const TGIFGlobalColorMap& GlobalColorMap() const { return FHeader->ColorMap(); }
    // Highest frame version; gvUnknown without frames.
    TGIFVersion Version() const;
    // Highest of the global map's and every local map's bits.
    int BitsPerPixel() const;
    int ColorResolution() const;
    TColor BackgroundColor() const { return FHeader->BackgroundColor(); }

    // A TGraphic (or TPicture) becomes a new frame through the frame's
    // Assign; anything else raises "Object type not supported for operation".
    int AppendFrame(const TPersistent* Source);
    // Takes a frame as it is.
    int AppendFrame(std::unique_ptr<TGIFSubImage> Frame);
    // Reports progress through OnProgress with one of the "...ing" texts.
    void ReportProgress(TProgressStage Stage, int PercentDone, const std::string& Msg);

    // ---- settings
    TGIFPaintFlags PaintFlags() const { return FPaintFlags; }
    void SetPaintFlags(TGIFPaintFlags Value) { FPaintFlags = Value; }
    TGIFReductionMethod ReductionMethod() const { return FReductionMethod; }
    void SetReductionMethod(TGIFReductionMethod Value) { FReductionMethod = Value; }
    int ReductionColorBits() const { return FReductionColorBits; }
    void SetReductionColorBits(int Value) { FReductionColorBits = Value; }
    TGIFDitherKernel DitherKernel() const { return FDitherKernel; }
    void SetDitherKernel(TGIFDitherKernel Value) { FDitherKernel = Value; }
    TGIFPixelCoding PixelCoding() const { return FPixelCoding; }
    void SetPixelCoding(TGIFPixelCoding Value) { FPixelCoding = Value; }
    TThreadPriority PainterPriority() const { return FPainterPriority; }
    void SetPainterPriority(TThreadPriority Value) { FPainterPriority = Value; }
    int SpeedPercent() const { return FSpeedPercent; }
    void SetSpeedPercent(int Value) { FSpeedPercent = Value; }
    int StillFrameIndex() const { return FStillFrameIndex; }
    void SetStillFrameIndex(int Value) { FStillFrameIndex = Value; }
    TColor BackdropColor() const { return FBackdropColor; }
    void SetBackdropColor(TColor Value) { FBackdropColor = Value; }

    // ---- optimiser (GifOptimizer.cpp)
    void OptimizeFrames(TGIFOptimizeSteps Steps, TGIFReductionMethod ReductionMethod, int ColorBits,
                        TGIFDitherKernel DitherKernel);
    void Optimize(TGIFOptimizeSteps Steps, TGIFReductionMethod ReductionMethod, int ColorBits,
                  TGIFDitherKernel DitherKernel) {
        OptimizeFrames(Steps, ReductionMethod, ColorBits, DitherKernel);
    }

    // ---- painting (GifPainter.cpp)
    // Live TGIFPainter objects; the lock also guards DrawPainter.
    TThreadList& PainterList() { return FPainters; }
    TGIFPainter* DrawPainter() const { return FDrawPainter; }
    void SetDrawPainter(TGIFPainter* Value) { FDrawPainter = Value; }
    void StartPainters();
    void StopPainters();
    // Detaches every painter still in the list from the image (used by the
    // destructor after StopPainters).
    void DetachPainters();
    // Starts a painter for Canvas/Rect (GifPainter.cpp). Returns it when
    // threaded, nullptr otherwise.
    TGIFPainter* Paint(TCanvas* ACanvas, const TRect& Rect, TGIFPaintFlags Options);
    // Dither decision of the image.
    bool DoDither() const;
    // The image rendered at the logical screen size (cached).
    TBitmap* Bitmap();
    TBitmap* CachedBitmap() const { return FBitmap.get(); }
    void SetCachedBitmap(std::unique_ptr<TBitmap> Value);
    void FreeBitmap();
    bool PaletteModified() const { return FPaletteModified; }
    void SetPaletteModified(bool Value) { FPaletteModified = Value; }
    // Forgets the kept global palette (made again on demand).
    void FreePalette() { FGlobalPalette = TPalette(); }
    // Signals OnChange (public so that blocks can tell their image).
    void NotifyChanged() { Changed(this); }

    // ---- events
    TGIFWarning OnWarning;
    // Fired by painters with the painter as sender: pass start, before a
    // frame, after a frame, next pass, end of painting.
    TNotifyEvent OnStartPaint;
    TNotifyEvent OnPaint;
    TNotifyEvent OnAfterPaint;
    TNotifyEvent OnLoop;
    TNotifyEvent OnEndPaint;

protected:
    // GifPainter.cpp
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;
    // Only to a TBitmap: it takes the rendered bitmap.
    void AssignTo(TPersistent* Dest) const override;

private:
    friend class TGIFPainter;
    // SetWidth (Horizontal) or SetHeight: the frames must fit the new side.
    void SetScreenSide(int Value, bool Horizontal);
    std::unique_ptr<TGIFImageList> FImages;
    std::unique_ptr<TGIFHeader> FHeader;
    mutable TPalette FGlobalPalette; // empty = none
    TThreadList FPainters;
    TGIFPainter* FDrawPainter = nullptr;
    TGIFPaintFlags FPaintFlags;
    TGIFReductionMethod FReductionMethod;
    int FReductionColorBits;
    TGIFDitherKernel FDitherKernel;
    TGIFPixelCoding FPixelCoding;
    std::unique_ptr<TBitmap> FBitmap;
    TThreadPriority FPainterPriority = tpNormal;
    int FSpeedPercent = 100;
    int FStillFrameIndex = -1;
    TColor FBackdropColor = clNone;
    bool FPaletteModified = false;
    bool FDrawing = false;
    mutable bool FGettingPalette = false;
};
