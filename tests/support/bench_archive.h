#pragma once
// The large archive the benchmarks work on: twenty-view sets and single
// models of realistic size, nine in ten entries compressed.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/dat_doc.h"

#include "support/dbpf_builder.h"
#include "support/s3d_builder.h"

namespace kvtest {

struct BigArchiveShape {
    int sets = 1000;
    int singles = 0;
    std::size_t vertices = 260;  // each model has this many plus up to 96 more
    // Adjusts each model before it is built.
    std::function<void(S3DBuilder&)> adjust;
};

// `vertices` receives the average vertices per entry when given.
DbpfBuilder BigArchive(const BigArchiveShape& shape, double* vertices = nullptr);

// An opened BigArchive with the index row of every view of every set, in the
// order a command visits them.
struct SetCorpus {
    std::unique_ptr<CDATDoc> doc;  // null when the archive did not open
    std::vector<int> rows;
    double vertices = 0;  // per entry, on average
};
SetCorpus OpenSetCorpus(const BigArchiveShape& shape, const std::string& name);

// A message box in a benchmark goes to standard error and answers OK, so a
// refusal shows in the run's output instead of passing unseen.
void PrintMessagesToStderr();

// Heap allocations made by this process so far (every operator new counts).
std::size_t AllocationCount();

}  // namespace kvtest
