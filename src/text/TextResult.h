#pragma once

#include "platform/Result.h"

// The text functions report a wrong input the way every operation that can fail does.
template <typename T> using TextResult = Result<T>;
