#pragma once
// The project's own demo songs, composed as module descriptions.
#include "builder/module_builder.h"

// "Harbour Lights": the 8-channel HVL demo bundled into the ahx tool.
ModuleDescription HarbourLights();
// "Pocket Jingle": a short 4-channel AHX song, so that the demo exercises both readers.
ModuleDescription PocketJingle();
