#include "core/HLTrace.h"

HLTraceObserver* hl_traceObserver = nullptr;

void HLTrace::setObserver(HLTraceObserver* observer)
{
    hl_traceObserver = observer;
}
