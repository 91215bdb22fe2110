#pragma once
// Opens an archive built in memory the way the application opens a file.

#include <memory>
#include <string>
#include <vector>

#include "archive/dat_doc.h"
#include "s3d/s3d_model.h"

namespace kvtest {

// Writes `bytes` to a temporary file named `name` and opens it; null when the
// document refused it (its messages went to whatever handler is installed).
std::unique_ptr<CDATDoc> OpenArchive(const std::vector<std::uint8_t>& bytes, const std::string& name = "test.dat");

// The image the document would save now.
std::vector<std::uint8_t> ImageOf(const CDATDoc& doc);

// One entry's model as LoadModel gives it, with what the load reports beside it.
struct Loaded {
    std::unique_ptr<_s3d_model> model;
    bool compressed = false;
    std::uint32_t size = 0;
};
inline Loaded Load(CDATDoc& doc, std::uint32_t row) {
    Loaded l;
    l.model = doc.LoadModel(row, l.compressed, l.size);
    return l;
}

}  // namespace kvtest
