#pragma once

#include <gtest/gtest.h>

/** A fixture whose tests take one row of a table each, so that every row is a test of its own name. */
template <typename Fixture, typename Row = size_t>
class TZorRows : public Fixture, public ::testing::WithParamInterface<Row>
{
};
