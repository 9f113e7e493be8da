// Headers precompiled once per build tree and used by every test binary (cmake/Dovrelta.cmake):
// the libraries' set and the test framework.
#pragma once

#include "cmake/Precompiled.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
