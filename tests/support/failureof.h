#pragma once

#include "core/failure.h"

#include <functional>
#include <QString>

namespace carvela::test {

// The message of the Failure an action raises; empty when it raises none.
inline QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Failure& failure) {
        return failure.message();
    }
    return QString();
}

} // namespace carvela::test
