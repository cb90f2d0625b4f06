#pragma once

#include "recordingdesktop.h"
#include "scriptedprompts.h"
#include "standin.h"
#include "tempvolumes.h"

// What a window test stands on: scripted boxes and dialogs, recorded
// desktop calls, a temporary mount root and the stand-in web service.
// Members are made in this order and undone in reverse.
struct WindowTestEnv
{
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    TempVolumes volumes;
    StandIn service;
};
