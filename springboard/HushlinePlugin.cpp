#include "springboard/HLSpringBoardStartup.h"

// The hooking framework loads the plug-in into its host processes; loading is what starts it.
__attribute__((constructor)) static void hushlineLoaded()
{
    HLSpringBoardStartup::pluginLoaded();
}
