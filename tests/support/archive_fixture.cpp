#include "support/archive_fixture.h"

#include "platform/text.h"
#include "support/dbpf_builder.h"

namespace kvtest {

std::unique_ptr<CDATDoc> OpenArchive(const std::vector<std::uint8_t>& bytes, const std::string& name) {
    std::string path = WriteTempFile(name, bytes);
    auto doc = std::make_unique<CDATDoc>();
    std::wstring wpath = kv::Utf8ToWide(path);
    if (!doc->OnOpenDocument(wpath)) return nullptr;
    doc->SetPathName(wpath);
    return doc;
}

std::vector<std::uint8_t> ImageOf(const CDATDoc& doc) {
    return std::vector<std::uint8_t>(doc.m_pBuffer.begin(), doc.m_pBuffer.begin() + doc.m_nFileSize);
}

}  // namespace kvtest
