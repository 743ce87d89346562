#pragma once
// The plug-in registry: a plug-in tells it when an instance of one of its
// factories comes to life and when it is gone, so that the host knows whether
// a loaded plug-in still has live instances.

#include "platform/CFBase.h"
#include "platform/CFUUID.h"

namespace ossel {

void CFPlugInAddInstanceForFactory(CFUUIDRef factoryID);
void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID);

// Live instances of the factory (by UUID value), for the host and for tests.
CFIndex CFPlugInInstanceCountForFactory(CFUUIDRef factoryID);

// Removals of an instance that was never added: always 0 for a well-behaved plug-in.
CFIndex CFPlugInUnbalancedRemovalCount();

}  // namespace ossel
