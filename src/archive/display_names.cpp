#include <cwctype>

#include "archive/dat_doc.h"
#include "platform/text.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"

namespace {

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

// A twenty-view set's texture names carry decorations the list does without:
// "<8 hex digits>_" in front and "_UserModel_Z<digit>S" behind.
std::wstring TrimTwentyViewName(std::wstring name) {
    std::size_t len = name.size();
    if (len > 14 && name.compare(len - 14, 12, L"_UserModel_Z") == 0 && name[len - 1] == L'S' &&
        IsDecimalDigit(name[len - 2]))
        name.resize(len - 14);
    len = name.size();
    if (len > 9 && name[8] == L'_') {
        bool hex = true, decimal = false;
        for (std::size_t i = 0; i < 8; ++i) {
            hex = hex && IsHexDigit(name[i]);
            decimal = decimal || IsDecimalDigit(name[i]);
        }
        if (hex && decimal) name.erase(0, 9);
    }
    return name;
}

void CDATDoc::DeriveDisplayName(_dat_model& row) {
    bool compressed = false;
    std::uint32_t size = 0;
    std::unique_ptr<_s3d_model> model = LoadModel(static_cast<std::uint32_t>(row.nRow), compressed, size);
    if (!model || model->mats.blocks.empty()) return;
    _s3d_work_block block;
    // A first material without textures has no name to give; the model is
    // listed without one.
    if (!ExtractBlock(S3D_BLOCK_MATS, 0, model.get(), &block) || block.textures.empty()) return;
    const std::string& raw = block.textures[0].name;
    std::wstring name = kv::Cp1252ToWide(std::string_view(raw.data(), raw.find('\0') == std::string::npos ? raw.size() : raw.find('\0')));
    if (row.nViews == 20) name = TrimTwentyViewName(std::move(name));
    if (name.size() > 99) name.resize(99);
    row.szName = std::move(name);
}
