#include "model/RefObject.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { SUCCEED(); }
