#pragma once
// The plug-in's 14 entry points: the only symbols ahx.kpl makes visible.
#include <cstdint>

#include "plugin/kestrel_abi.h"

#define AHX_EXPORT extern "C" __attribute__((visibility("default")))

AHX_EXPORT int32_t InitPlugin(PluginInfo* info, HostApi* host);
AHX_EXPORT void ClosePlugin(void);
AHX_EXPORT const char* GetFormatName(void);
AHX_EXPORT int32_t GetExtensions(int32_t capability);

AHX_EXPORT void* OpenStream(const char* fileName, StreamOpenInfo* info);
AHX_EXPORT int32_t StreamSamples(void* stream, SampleRequest* request);
AHX_EXPORT void SeekStream(void* stream, uint32_t position);
AHX_EXPORT void CloseStream(void* stream);

AHX_EXPORT const char* GetBaseTable(void);
AHX_EXPORT const ScriptCommand* GetCommands(void);
AHX_EXPORT const void* GetConstants(void);
AHX_EXPORT const char* const* GetHelpStrings(void);
AHX_EXPORT int32_t InitLibrary(void* scriptState);
AHX_EXPORT void FreeLibrary(void* scriptState);
