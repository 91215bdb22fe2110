#pragma once
// Opens an archive built in memory the way the application opens a file.

#include <memory>
#include <string>
#include <vector>

#include "archive/dat_doc.h"

namespace kvtest {

// Writes `bytes` to a temporary file named `name` and opens it; null when the
// document refused it (its messages went to whatever handler is installed).
std::unique_ptr<CDATDoc> OpenArchive(const std::vector<std::uint8_t>& bytes, const std::string& name = "test.dat");

// The image the document would save now.
std::vector<std::uint8_t> ImageOf(const CDATDoc& doc);

}  // namespace kvtest
