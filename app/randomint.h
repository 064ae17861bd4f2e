// A random choice that avoids the most recent results.
#pragma once

#include <cstdint>

class RandomInt {
public:
    int32_t history[5];  // newest first; only the first count are valid
    int32_t count;

    RandomInt() : history{0, 0, 0, 0, 0}, count(0) {}

    // A number from 0 to n, both ends included, not among the recent ones.
    int Get(int n);
    void Push(int value, int n);
    void Insert(int value, int pos, int n);
};
