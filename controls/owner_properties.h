// The properties our subclasses keep on their owner windows (the procedure each one replaced and
// the number of the object it serves), read through a small per-thread memory. A subclass runs
// for every message to its window and reading a property is a server round trip on some systems,
// which made every list notification on the main window cost a few hundred microseconds.
#pragma once

#include <windows.h>

// GetPropW(window, name), or the value this thread read last for the same window and name while
// no owner property changed. The name is matched by address: pass the module's own constant.
void* CachedOwnerProperty(HWND window, const wchar_t* name);

// Call after setting or removing any of those properties: it retires what every thread kept.
// A window reaches a subclass only after the change that installed it, so nothing stale is seen.
void OwnerPropertiesChanged();
