// What the suites share about views: a view as a test row's value, and
// equality to the last bit (which tells -0.0 from 0.0).
#pragma once

#include "viewstate.h"

#include <QMetaType>

#include <cstring>

Q_DECLARE_METATYPE(View)

inline bool sameBits(const View& a, const View& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
