// Everything of platform/base in one include, for application code and tests.
#pragma once

#include "platform/base/Associations.h"
#include "platform/base/Geometry.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSCharacterSet.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSException.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSObject.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
