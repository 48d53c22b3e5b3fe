#pragma once
// The background templates the editor ships with, drawn from code: each is a
// procedural pattern (stripes, checks, waves, dots, rings, noise...) at the
// standard size of its format. A customisable template lays its pattern
// over a flat key colour that also fills the key pixel, so recolouring moves
// the whole background; the others are free gradients. Everything is fixed
// by the format and the template number, so each build writes the same files.
#include <string>

#include "raster/Color32.h"
#include "raster/RasterCore.h"

// The key colour of template N (shared by every format, so a preview of the
// half-banner file recolours with the working picture).
TColor32 TemplateArtKeyColor(int N);
// Template N (1-based) of BannerFormat 0..3 at the format's standard size;
// the bitmap is emptied for anything else.
void DrawTemplateArt(TBitmap32& Bitmap, int BannerFormat, int N);
// Writes the bitmap as an uncompressed 24-bit BMP file (alpha dropped).
// Raises EFCreateError when the file cannot be written.
void SaveBitmap24(const TBitmap32& Bitmap, const std::string& FileName);
// Draws and writes template N of BannerFormat into Folder under its
// template file name.
void WriteTemplateFile(const std::string& Folder, int BannerFormat, int N);
// Every template of every format; returns the number of files written.
int WriteAllTemplateFiles(const std::string& Folder);
