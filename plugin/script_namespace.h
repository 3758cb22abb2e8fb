#pragma once
// "ahx": the plug-in's short name and the namespace of its script command.
extern const char kScriptNamespace[];
