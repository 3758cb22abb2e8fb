#pragma once
// Loads a plug-in file the way Kestrel does: dlopen, then each export by its plain name.
#include "plugin/kestrel_abi.h"

struct LoadedPlugin {
    void* library;
    InitPluginFn initPlugin;
    ClosePluginFn closePlugin;
    GetFormatNameFn getFormatName;
    GetExtensionsFn getExtensions;
    OpenStreamFn openStream;
    StreamSamplesFn streamSamples;
    SeekStreamFn seekStream;
    CloseStreamFn closeStream;
    GetBaseTableFn getBaseTable;
    GetCommandsFn getCommands;
    GetConstantsFn getConstants;
    GetHelpStringsFn getHelpStrings;
    InitLibraryFn initLibrary;
    FreeLibraryFn freeLibrary;
};

// Loads path (a second load of the same path shares the first one's state). False, with nothing
// loaded, when the file cannot be loaded or lacks any of the 14 exports.
bool LoadPlugin(const char* path, LoadedPlugin* plugin);
// Loads a private copy of path, so the plug-in starts with fresh process-wide state.
bool LoadFreshPlugin(const char* path, LoadedPlugin* plugin);
