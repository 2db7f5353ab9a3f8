#pragma once

#include <functional>

template <typename Signature> using TFunction = std::function<Signature>;
