#pragma once
// The sample archive the repository ships (samples/sample.SC4Model): a few
// single-view models and two twenty-view sets, some entries compressed.

#include <cstdint>
#include <vector>

namespace kvsample {

std::vector<std::uint8_t> BuildSampleArchive();

}  // namespace kvsample
