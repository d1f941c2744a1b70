// Checks on what a program printed, failing with the whole text so the
// test's output shows what it held instead.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Whether text holds part anywhere.
testing::AssertionResult contains(const std::string& text, const std::string& part);
