#pragma once
// Turns fuzz bytes into a module description and a way to render it. Every description is one the
// builder writes as a valid module: the fuzzer explores commands, parameters and instrument shapes
// instead of spending its time on headers the readers refuse.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "builder/module_builder.h"

struct RenderPlan {
    int32_t stereoMode;
    uint32_t mixFrequency;
    uint32_t song;             // taken modulo the song count
    uint32_t decodes;          // fiftieths of a second to render
    std::vector<uint32_t> pieceFrames;  // cycled: the sizes each tick's frames are mixed in, and
                                        // the library's request sizes
    uint32_t seekFraction;              // where to seek, in 1/65536 of the render
};

ModuleDescription DescribeSong(FuzzedDataProvider& input);
RenderPlan PlanRender(FuzzedDataProvider& input);
