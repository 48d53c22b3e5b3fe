#pragma once
// One factory per picture reader, each defined in its reader's source file.
// The registration table of PictureReaders.cpp refers to them by these names.
#include <memory>

class TGraphic;

std::unique_ptr<TGraphic> CreateTargaGraphic();    // TTargaGraphic
std::unique_ptr<TGraphic> CreateTIFFGraphic();     // TTIFFGraphic
std::unique_ptr<TGraphic> CreateEPSGraphic();      // TEPSGraphic
std::unique_ptr<TGraphic> CreatePCXGraphic();      // TPCXGraphic
std::unique_ptr<TGraphic> CreateRLAGraphic();      // TRLAGraphic
std::unique_ptr<TGraphic> CreateSGIGraphic();      // TSGIGraphic
std::unique_ptr<TGraphic> CreatePSDGraphic();      // TPSDGraphic
std::unique_ptr<TGraphic> CreatePPMGraphic();      // TPPMGraphic
std::unique_ptr<TGraphic> CreateAutodeskGraphic(); // TAutodeskGraphic
std::unique_ptr<TGraphic> CreatePCDGraphic();      // TPCDGraphic
std::unique_ptr<TGraphic> CreateCUTGraphic();      // TCUTGraphic
std::unique_ptr<TGraphic> CreatePSPGraphic();      // TPSPGraphic
std::unique_ptr<TGraphic> CreatePNGGraphic();      // TPNGGraphic
