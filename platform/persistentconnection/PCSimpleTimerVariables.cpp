#include "platform/foundation/VQInstanceVariables.h"
#include "platform/persistentconnection/PCSimpleTimer.h"

// The timer's instance variables that a look-up by name can read.
static const bool registered = VQInstanceVariables::add<PCSimpleTimer>("_serviceIdentifier",
    [](PCSimpleTimer& timer) { return PlistValue(timer.serviceIdentifierVariable()); });
