// Headers precompiled once per build tree and used by every library (cmake/Dovrelta.cmake): the
// standard headers most files include and the base platform headers nearly every file includes.
// Only headers of the lowest layer (platform/base) and of the standard library belong here; a
// file still includes what it uses, as it would without this.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/base/Boxing.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Forward.h"
#include "platform/base/Geometry.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSObject.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/base/Runtime.h"
#include "platform/base/StringFormat.h"
