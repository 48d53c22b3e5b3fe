#pragma once
// Included by the banner tests that draw: the drawing engine is started
// before the tests, as the program starts it before it draws anything.
#include "raster/RasterModule.h"

#include <gtest/gtest.h>

struct TRasterEnvironment : testing::Environment {
    void SetUp() override { InitRasterModules(); }
};

inline const testing::Environment* const RasterEnvironment =
    testing::AddGlobalTestEnvironment(new TRasterEnvironment);
