#include "gif/Dither.h"

#include <algorithm>
#include <utility>

TDitherEngine::TDitherEngine(TColorLookup& Lookup, int Width) : FLookup(Lookup), FWidth(Width) {}

int TDitherEngine::Dither(int Red, int Green, int Blue, int& R, int& G, int& B) {
    const int index = FLookup.Lookup(Red, Green, Blue, R, G, B);
    NextColumn();
    return index;
}

void TDitherEngine::NextLine() {
    FDirection = -FDirection;
    FColumn = FDirection > 0 ? 0 : FWidth - 1;
}

TErrorDiffusionDitherer::TErrorDiffusionDitherer(TColorLookup& Lookup, int Width, int Rows,
                                                 int Margin, int Divisor,
                                                 std::vector<TDitherWeight> Weights)
    : TDitherEngine(Lookup, Width), FRows(Rows), FMargin(Margin), FDivisor(Divisor),
      FWeights(std::move(Weights)), FRowOrder(std::size_t(Rows)) {
    FErrors.assign(std::size_t(3 * Rows),
                   std::vector<int>(std::size_t(std::max(Width, 0)) + 2 * std::size_t(Margin), 0));
    for (int i = 0; i < Rows; ++i)
        FRowOrder[std::size_t(i)] = i;
}

void TErrorDiffusionDitherer::Propagate(int Channel, int Error) {
    for (const TDitherWeight& w : FWeights)
        Cell(Channel, w.Row, w.Offset) += Error * w.Weight;
}

int TErrorDiffusionDitherer::Dither(int Red, int Green, int Blue, int& R, int& G, int& B) {
    int v[3] = {Red, Green, Blue};
    const int half = FDivisor / 2;
    for (int c = 0; c < 3; ++c) {
        // C++ division truncates toward zero, as the error rounding wants.
        v[c] = std::clamp(v[c] + (Cell(c, 0, 0) + half) / FDivisor, 0, 255);
    }
    const int index = FLookup.Lookup(v[0], v[1], v[2], R, G, B);
    const int chosen[3] = {R, G, B};
    for (int c = 0; c < 3; ++c) {
        const int error = v[c] - chosen[c];
        if (error != 0) Propagate(c, error);
    }
    NextColumn();
    return index;
}

void TErrorDiffusionDitherer::NextLine() {
    // The row just finished is zeroed and becomes the farthest one.
    const int oldest = FRowOrder[0];
    for (int c = 0; c < 3; ++c) {
        std::vector<int>& row = FErrors[std::size_t(c) * FRows + oldest];
        std::fill(row.begin(), row.end(), 0);
    }
    std::rotate(FRowOrder.begin(), FRowOrder.begin() + 1, FRowOrder.end());
    TDitherEngine::NextLine();
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(TColorLookup& Lookup, int Width)
    : TErrorDiffusionDitherer(Lookup, Width, 2, 1, 16,
                              {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}) {}

T5by3Ditherer::T5by3Ditherer(TColorLookup& Lookup, int Width, int Divisor,
                             std::vector<TDitherWeight> Weights)
    : TErrorDiffusionDitherer(Lookup, Width, 3, 2, Divisor, std::move(Weights)) {}

TStuckiDitherer::TStuckiDitherer(TColorLookup& Lookup, int Width)
    : T5by3Ditherer(Lookup, Width, 42,
                    {{0, 1, 8},
                     {0, 2, 4},
                     {1, -2, 2},
                     {1, -1, 4},
                     {1, 0, 8},
                     {1, 1, 4},
                     {1, 2, 2},
                     {2, -2, 1},
                     {2, -1, 2},
                     {2, 0, 4},
                     {2, 1, 2},
                     {2, 2, 1}}) {}

TSierraDitherer::TSierraDitherer(TColorLookup& Lookup, int Width)
    : T5by3Ditherer(Lookup, Width, 32,
                    {{0, 1, 5},
                     {0, 2, 3},
                     {1, -2, 2},
                     {1, -1, 4},
                     {1, 0, 5},
                     {1, 1, 4},
                     {1, 2, 2},
                     {2, -1, 2},
                     {2, 0, 3},
                     {2, 1, 2}}) {}

TJaJuNiDitherer::TJaJuNiDitherer(TColorLookup& Lookup, int Width)
    : T5by3Ditherer(Lookup, Width, 48,
                    {{0, 1, 7},
                     {0, 2, 5},
                     {1, -2, 3},
                     {1, -1, 5},
                     {1, 0, 7},
                     {1, 1, 5},
                     {1, 2, 3},
                     {2, -2, 1},
                     {2, -1, 3},
                     {2, 0, 5},
                     {2, 1, 3},
                     {2, 2, 1}}) {}

TSteveArcheDitherer::TSteveArcheDitherer(TColorLookup& Lookup, int Width)
    : TErrorDiffusionDitherer(Lookup, Width, 4, 3, 200,
                              {{0, 2, 32},
                               {1, -3, 12},
                               {1, -1, 26},
                               {1, 1, 30},
                               {1, 3, 16},
                               {2, -2, 12},
                               {2, 0, 26},
                               {2, 2, 12},
                               {3, -3, 5},
                               {3, -1, 12},
                               {3, 1, 12},
                               {3, 3, 5}}) {}

TBurkesDitherer::TBurkesDitherer(TColorLookup& Lookup, int Width)
    : TErrorDiffusionDitherer(
          Lookup, Width, 2, 2, 32,
          {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}) {}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TGIFDitherKernel Kernel, TColorLookup& Lookup,
                                                  int Width) {
    switch (Kernel) {
    case dkNearestColor:
        return std::make_unique<TDitherEngine>(Lookup, Width);
    case dkFloydSteinberg:
        return std::make_unique<TFloydSteinbergDitherer>(Lookup, Width);
    case dkStucki:
        return std::make_unique<TStuckiDitherer>(Lookup, Width);
    case dkSierra:
        return std::make_unique<TSierraDitherer>(Lookup, Width);
    case dkJarvisJudiceNinke:
        return std::make_unique<TJaJuNiDitherer>(Lookup, Width);
    case dkStevensonArce:
        return std::make_unique<TSteveArcheDitherer>(Lookup, Width);
    case dkBurkes:
        return std::make_unique<TBurkesDitherer>(Lookup, Width);
    }
    return nullptr;
}
