#pragma once
// Names parameterised rows after their `name` field.

#include <gtest/gtest.h>

#include <string>

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}
