#pragma once
// Start-up and shutdown of the raster engine. InitRasterModules runs once
// before the first bitmap exists; it builds the tables and picks the routine
// forms, in this order: system services (theme link, timer), the fill
// routine, the blend tables and line forms, the gamma table. Later parts of
// the engine (the sampler registries, the measuring bitmap) add their steps
// here. Both calls are idempotent; DoneRasterModules undoes them in reverse.
void InitRasterModules();
void DoneRasterModules();
bool RasterModulesInitialized();
