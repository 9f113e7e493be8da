// The push client's two process-wide dictionary categories. Once installed they apply to every
// dictionary of the process, whichever part of the system uses it:
// - NSMutableDictionary(PSMyDictionary): a keyed subscript with a nil value removes the key
//   (nothing happens when it is absent); any other value is stored; reading gives the stored
//   object or nil. This is also the platform layer's own behaviour, so installing changes nothing
//   for subscripts.
// - NSDictionary(ps_reportEqual): `isEqual:` answers NO for anything that is not a dictionary and
//   compares two dictionaries without their "itime" entries. The hash leaves "itime" out as well,
//   so that dictionaries equal under this rule hash alike.
//
// Call PSInstallDictionaryCategories() once at start-up (the application entry does; tests that
// rely on the rule do too). Installing twice is harmless.
#pragma once

#include "platform/base/Forward.h"

void PSInstallDictionaryCategories();

// The comparison itself, usable without installing it.
bool ps_reportEqual(const NSDictionary& dictionary, const NSObject* other);
NSUInteger ps_reportHash(const NSDictionary& dictionary);
