#pragma once
// The exception of class E that an action raises; the calling test fails when
// it raises none (and gets an E made of zeros).

#include <QString>

#include <gtest/gtest.h>

template <typename E, typename F> E Raised(F&& action)
{
    try {
        action();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "nothing of the expected class was raised";
    return E(0, 0, QString());
}
