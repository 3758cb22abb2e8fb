#pragma once
// What `ahx play` says when no sound device opens: the cause as far as this machine shows it,
// the drivers SDL could use instead, and a way to listen that works here.
#include <string>
#include <vector>

// sdlReason: SDL's words for the last driver it tried; driverChosen: the user named a driver
// (--driver or SDL_AUDIODRIVER), so its reason is the cause; files: the command line's modules.
std::string NoSoundText(const std::string& sdlReason, bool driverChosen, const std::vector<std::string>& files);
