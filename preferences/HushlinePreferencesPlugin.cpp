// The settings bundle's binary: loading it registers its screens and cells by name (each file
// registers its own class) and runs this constructor, as the Settings app's loading does.
#include "preferences/HLPreferencesStartup.h"

__attribute__((constructor)) static void HushlinePreferencesLoaded()
{
    HLPreferencesRegisterDarwinObservers();
}
