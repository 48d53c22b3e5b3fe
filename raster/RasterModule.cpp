#include "raster/RasterModule.h"

#include "raster/Color32.h"
#include "raster/RasterBlend.h"
#include "raster/RasterCore.h"
#include "raster/RasterImage.h"
#include "raster/RasterKernelResamplers.h"
#include "raster/RasterKernels.h"
#include "raster/RasterLowLevel.h"
#include "raster/RasterResamplers.h"
#include "raster/RasterSystem.h"

namespace {
bool GInitialized = false;
}

void InitRasterModules() {
    if (GInitialized) return;
    InitRasterSystem();
    InitRasterLowLevel();
    InitRasterBlend();
    InitRasterResamplers();
    RegisterKernelResamplers();
    RegisterKernels();
    BuildGammaTable(0.7);
    InitRasterCore();
    RegisterImage32Classes();
    GInitialized = true;
}

void DoneRasterModules() {
    if (!GInitialized) return;
    DoneRasterCore();
    DoneRasterResamplers();
    DoneRasterBlend();
    DoneRasterSystem();
    GInitialized = false;
}

bool RasterModulesInitialized() {
    return GInitialized;
}
