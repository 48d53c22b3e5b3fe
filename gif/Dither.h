#pragma once
// Dither engines: each maps the 24-bit pixels of a row to palette indices
// through a colour lookup. Rows are walked in serpentine order (the first
// left to right); the error-diffusion engines spread each pixel's mapping
// error to pixels not yet visited, along the walking direction.
#include <memory>
#include <vector>

#include "gif/ColorReduction.h"
#include "gif/GifTypes.h"

// The plain engine: the nearest colour, no error spread.
class TDitherEngine {
public:
    TDitherEngine(TColorLookup& Lookup, int Width);
    virtual ~TDitherEngine() = default;
    TDitherEngine(const TDitherEngine&) = delete;
    TDitherEngine& operator=(const TDitherEngine&) = delete;

    // Maps one pixel at the current column, returns its index with the
    // colour it stands for, and moves to the next column.
    virtual int Dither(int Red, int Green, int Blue, int& R, int& G, int& B);
    virtual void NextColumn() { FColumn += FDirection; }
    // Reverses the direction; the column goes to the new row's start.
    virtual void NextLine();

    int Column() const { return FColumn; }
    int Direction() const { return FDirection; }
    int Width() const { return FWidth; }

protected:
    TColorLookup& FLookup;
    int FWidth;
    int FDirection = 1;
    int FColumn = 0;
};

// One weight of a diffusion kernel: Row 0 is the current row, Offset counts
// along the walking direction.
struct TDitherWeight {
    int Row;
    int Offset;
    int Weight;
};

// Error diffusion with integer error rows per channel (Rows rows of Width
// plus a margin on each side).
class TErrorDiffusionDitherer : public TDitherEngine {
public:
    TErrorDiffusionDitherer(TColorLookup& Lookup, int Width, int Rows, int Margin, int Divisor,
                            std::vector<TDitherWeight> Weights);
    int Dither(int Red, int Green, int Blue, int& R, int& G, int& B) override;
    void NextLine() override;

protected:
    // Adds Error times each weight to the cells of one channel.
    virtual void Propagate(int Channel, int Error);
    int& Cell(int Channel, int Row, int Offset) {
        return FErrors[std::size_t(Channel) * FRows + FRowOrder[Row]]
                      [std::size_t(FMargin + FColumn + Offset * FDirection)];
    }

    int FRows;
    int FMargin;
    int FDivisor;
    std::vector<TDitherWeight> FWeights;

private:
    // FErrors[channel * rows + physical row]; FRowOrder maps logical rows
    // (0 = current) to physical ones so that rotating needs no copy.
    std::vector<std::vector<int>> FErrors;
    std::vector<int> FRowOrder;
};

class TFloydSteinbergDitherer : public TErrorDiffusionDitherer {
public:
    TFloydSteinbergDitherer(TColorLookup& Lookup, int Width);
};

// Base of the three kernels five pixels wide and three rows deep.
class T5by3Ditherer : public TErrorDiffusionDitherer {
public:
    T5by3Ditherer(TColorLookup& Lookup, int Width, int Divisor, std::vector<TDitherWeight> Weights);
};

class TStuckiDitherer : public T5by3Ditherer {
public:
    TStuckiDitherer(TColorLookup& Lookup, int Width);
};

class TSierraDitherer : public T5by3Ditherer {
public:
    TSierraDitherer(TColorLookup& Lookup, int Width);
};

class TJaJuNiDitherer : public T5by3Ditherer {
public:
    TJaJuNiDitherer(TColorLookup& Lookup, int Width);
};

class TSteveArcheDitherer : public TErrorDiffusionDitherer {
public:
    TSteveArcheDitherer(TColorLookup& Lookup, int Width);
};

class TBurkesDitherer : public TErrorDiffusionDitherer {
public:
    TBurkesDitherer(TColorLookup& Lookup, int Width);
};

// The engine of a kernel (0..6); nullptr for any other value.
std::unique_ptr<TDitherEngine> CreateDitherEngine(TGIFDitherKernel Kernel, TColorLookup& Lookup,
                                                  int Width);
